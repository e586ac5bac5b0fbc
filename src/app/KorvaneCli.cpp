// korvane-cli: headless use of the editor's core.
int main() { return 0; }
