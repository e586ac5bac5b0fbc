// The restrictions dialog driven by clicks and keys: what it shows, what "OK" commits, that
// "Default" waits for "OK", and that every other way out leaves every setting as it was.
#include <QApplication>
#include <QButtonGroup>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <functional>

#include "app/SDIAppForm.h"
#include "paint/Restrictform1.h"
#include "paint/Restrictions.h"
#include "support/Modal.h"
#include "widgets/Slidebar.h"

namespace korvane {
// What QCOMPARE prints when settings differ.
char* toString(const TRestrictSettings& s) {
  return QTest::toString(QString("type %1, epsilon %2, low %3, high %4")
                             .arg(s.RestrictType)
                             .arg(s.RestrictEpsilon)
                             .arg(s.RestrictLow, 6, 16, QChar('0'))
                             .arg(s.RestrictHigh, 6, 16, QChar('0')));
}
}  // namespace korvane

using namespace korvane;

namespace {

using korvane::test::WhenModal;


// Answers the colour dialog the next click opens: with `chosen`, or Cancel when it is invalid.
// `shown` receives the colour the dialog started at.
void AnswerColorDialog(QColor chosen, QColor* shown) {
  WhenModal([chosen, shown](QWidget* modal) {
    auto* dialog = qobject_cast<QColorDialog*>(modal);
    if (!dialog) {
      modal->close();
      return;
    }
    *shown = dialog->currentColor();
    if (chosen.isValid()) dialog->setCurrentColor(chosen);
    auto* box = dialog->findChild<QDialogButtonBox*>();
    QTest::mouseClick(box->button(chosen.isValid() ? QDialogButtonBox::Ok
                                                   : QDialogButtonBox::Cancel),
                      Qt::LeftButton);
  });
}

// Radio buttons answer only on their indicator and text.
void Click(QWidget* widget) {
  const bool radio = qobject_cast<QRadioButton*>(widget) != nullptr;
  QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier,
                    radio ? QPoint(6, widget->height() / 2) : widget->rect().center());
}

QColor Q(TColor c) { return QColor(RedOf(c), GreenOf(c), BlueOf(c)); }

TRestrictSettings Settings(int type, int epsilon, TColor low, TColor high) {
  TRestrictSettings s;
  s.RestrictType = type;
  s.RestrictEpsilon = epsilon;
  s.RestrictLow = low;
  s.RestrictHigh = high;
  return s;
}

// The controls show `s`.
void ExpectShown(const TRestrictForm& form, const TRestrictSettings& s) {
  QCOMPARE(form.RestGroup->checkedId(), s.RestrictType);
  QVERIFY(form.Rest[static_cast<std::size_t>(s.RestrictType)]->isChecked());
  QCOMPARE(form.TrackEpsi->Position(), s.RestrictEpsilon);
  QCOMPARE(form.LabEpsi->text(), QString::number(s.RestrictEpsilon));
  QCOMPARE(form.ColorLow->Color(), Q(s.RestrictLow));
  QCOMPARE(form.ColorHigh->Color(), Q(s.RestrictHigh));
}

}  // namespace

class TestRestrictForm : public QObject {
  Q_OBJECT

 private slots:
  void captions_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("caption");
    const char* captions[] = {
        "  0. No restrictions, apply action to all pixels.",
        "  1. Apply action to all pixels where: MAX(R,G,B) > Epsilon",
        "  2. Apply action to all pixels where: MIN(R,G,B) < Epsilon",
        "  3. Pixel restriction: RGB = FOREGROUND Color (+/- Epsilon)",
        "  4. Pixel restriction: R = G = B (+/- Epsilon)",
        "  5. Red ch. maximal : R = MAX(R,G,B) + Epsilon ",
        "  6. Red ch. medium: R = MID(R,G,B) + Epsilon",
        "  7. Red ch. minimal: R = MIN(R,G,B) - Epsilon",
        "  8. Green ch. maximal: G = MAX(R,G,B) + Epsilon ",
        "  9. Green ch. medium: G = MID(R,G,B) + Epsilon",
        "10. Green ch. minimal: G = MIN(R,G,B) - Epsilon",
        "11. Blue ch. maximal: B = MAX(R,G,B) + Epsilon ",
        "12. Blue ch. medium: B = MID(R,G,B) + Epsilon",
        "13. Blue ch. minimal: B = MIN(R,G,B) - Epsilon",
        "14. Apply action on randomly chosen pixels.",
        "15. Pixel restriction: RGB = BACKGROUND Color (+/- Epsilon)",
        "16. Color range restriction:",
    };
    for (int type = 0; type < kRestrictTypeCount; ++type)
      QTest::newRow(qPrintable(QString("Rest%1").arg(type))) << type << captions[type];
  }

  void captions() {
    QFETCH(int, type);
    QFETCH(QString, caption);
    TRestrictSettings settings;
    TRestrictForm form(settings);
    QCOMPARE(form.windowTitle(), QString("Color restrictions ..."));
    QCOMPARE(form.findChild<QGroupBox*>()->title(), QString("Restriction type"));
    QRadioButton* radio = form.Rest[static_cast<std::size_t>(type)];
    QCOMPARE(radio->objectName(), QString("Rest%1").arg(type));
    QCOMPARE(radio->text(), caption);
    QCOMPARE(form.RestGroup->id(radio), type);
  }

  void firstShowingHasTheDefaults() {
    TRestrictSettings settings;
    TRestrictForm form(settings);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    ExpectShown(form, Settings(0, 0, clBlack, clWhite));
    QCOMPARE(form.TrackEpsi->Min(), 0);
    QCOMPARE(form.TrackEpsi->Max(), 128);
    QCOMPARE(form.StatusText(), QString("Restrict: 0"));
  }

  void okCommitsEveryControl() {
    TRestrictSettings settings;
    TRestrictForm form(settings);
    QSignalSpy changed(&form, &TRestrictForm::RestrictChanged);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    Click(form.Rest[7]);
    form.TrackEpsi->setFocus();
    QTest::keyClick(form.TrackEpsi, Qt::Key_End);
    QCOMPARE(form.LabEpsi->text(), QString("128"));
    for (int i = 0; i < 3; ++i) QTest::keyClick(form.TrackEpsi, Qt::Key_Left);
    QCOMPARE(form.LabEpsi->text(), QString("125"));
    QColor shown;
    AnswerColorDialog(QColor(30, 20, 10), &shown);
    QTest::mouseClick(form.ColorLow, Qt::LeftButton);
    QCOMPARE(shown, QColor(Qt::black));
    QCOMPARE(form.ColorLow->Color(), QColor(30, 20, 10));
    AnswerColorDialog(QColor(250, 240, 230), &shown);
    QTest::mouseClick(form.ColorHigh, Qt::LeftButton);
    QCOMPARE(shown, QColor(Qt::white));

    // Nothing reaches the settings before "OK".
    QCOMPARE(settings, TRestrictSettings{});
    QCOMPARE(changed.count(), 0);

    Click(form.RestOK);
    QCOMPARE(settings, Settings(7, 125, RGBColor(30, 20, 10), RGBColor(250, 240, 230)));
    QVERIFY(!form.isVisible());
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toString(), QString("Restrict: 7"));
    QCOMPARE(form.StatusText(), QString("Restrict: 7"));

    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    ExpectShown(form, settings);
  }

  void defaultWaitsForOk() {
    const TRestrictSettings stored = Settings(9, 77, RGBColor(1, 2, 3), RGBColor(4, 5, 6));
    TRestrictSettings settings = stored;
    TRestrictForm form(settings);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    ExpectShown(form, stored);

    Click(form.RestDef);
    ExpectShown(form, Settings(0, 0, RGBColor(1, 2, 3), RGBColor(4, 5, 6)));
    QCOMPARE(settings, stored);

    Click(form.RestOK);
    // The range colours are not part of the default.
    QCOMPARE(settings, Settings(0, 0, RGBColor(1, 2, 3), RGBColor(4, 5, 6)));
    QCOMPARE(form.StatusText(), QString("Restrict: 0"));
  }

  void everyOtherCloseLeavesTheSettings_data() {
    QTest::addColumn<QString>("way");
    QTest::newRow("Cancel") << "Cancel";
    QTest::newRow("Escape") << "Escape";
    QTest::newRow("close box") << "close";
  }

  void everyOtherCloseLeavesTheSettings() {
    QFETCH(QString, way);
    const TRestrictSettings stored = Settings(16, 40, RGBColor(1, 2, 3), RGBColor(200, 210, 220));
    TRestrictSettings settings = stored;
    TRestrictForm form(settings);
    QSignalSpy changed(&form, &TRestrictForm::RestrictChanged);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    ExpectShown(form, stored);

    Click(form.Rest[2]);
    form.TrackEpsi->setFocus();
    QTest::keyClick(form.TrackEpsi, Qt::Key_Home);
    QColor shown;
    AnswerColorDialog(QColor(9, 9, 9), &shown);
    QTest::mouseClick(form.ColorLow, Qt::LeftButton);
    QCOMPARE(shown, QColor(1, 2, 3));
    AnswerColorDialog(QColor(99, 99, 99), &shown);
    QTest::mouseClick(form.ColorHigh, Qt::LeftButton);
    QCOMPARE(form.ColorHigh->Color(), QColor(99, 99, 99));
    ExpectShown(form, Settings(2, 0, RGBColor(9, 9, 9), RGBColor(99, 99, 99)));

    if (way == "Cancel")
      Click(form.RestNOK);
    else if (way == "Escape")
      QTest::keyClick(&form, Qt::Key_Escape);
    else
      form.close();
    QVERIFY(!form.isVisible());
    QCOMPARE(form.result(), int(QDialog::Rejected));
    QCOMPARE(settings, stored);
    QCOMPARE(changed.count(), 0);

    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    ExpectShown(form, stored);
    // The colours picked before the cancel are gone for good, not waiting for the next "OK".
    Click(form.RestOK);
    QCOMPARE(settings, stored);
  }

  void aRejectedColourDialogChangesNothing() {
    TRestrictSettings settings = Settings(16, 0, RGBColor(10, 10, 10), RGBColor(20, 20, 20));
    const TRestrictSettings stored = settings;
    TRestrictForm form(settings);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QColor shown;
    AnswerColorDialog(QColor(), &shown);
    QTest::mouseClick(form.ColorLow, Qt::LeftButton);
    QCOMPARE(shown, QColor(10, 10, 10));
    QCOMPARE(form.ColorLow->Color(), QColor(10, 10, 10));
    Click(form.RestOK);
    QCOMPARE(settings, stored);
  }

  // The panic button calls Default() and OK() on the hidden dialog.
  void panicResetWhileHidden() {
    const TRestrictSettings stored = Settings(12, 50, RGBColor(7, 8, 9), clWhite);
    TRestrictSettings settings = stored;
    TRestrictForm form(settings);
    QSignalSpy changed(&form, &TRestrictForm::RestrictChanged);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QColor shown;
    AnswerColorDialog(QColor(1, 1, 1), &shown);
    QTest::mouseClick(form.ColorLow, Qt::LeftButton);
    Click(form.Rest[5]);
    Click(form.RestNOK);

    // Settings changed behind the hidden dialog (read at start-up) are what it resets from.
    settings.RestrictHigh = RGBColor(100, 110, 120);
    form.Default();
    form.OK();
    QCOMPARE(settings, Settings(0, 0, RGBColor(7, 8, 9), RGBColor(100, 110, 120)));
    QVERIFY(!form.isVisible());
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toString(), QString("Restrict: 0"));
  }
};

QTEST_MAIN(TestRestrictForm)
#include "Restrictform1Test.moc"
