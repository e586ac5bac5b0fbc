// The transparency & channels dialog driven by keys and clicks, and the panic reset.
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <functional>

#include "app/EditorState.h"
#include "app/SDIAppForm.h"
#include "colour/Channelform1.h"
#include "support/Modal.h"
#include "widgets/Slidebar.h"

using namespace korvane;

namespace {

using korvane::test::WhenModal;

}  // namespace

class TestChannelForm : public QObject {
  Q_OBJECT

 private slots:
  void controlsAreLiveAndPixelVaryWaitsForOk() {
    TEditorState editor;
    editor.SetDefaultColors();
    TChannelForm form(editor);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.TrackTrans->setFocus();
    QTest::keyClick(form.TrackTrans, Qt::Key_End);
    QCOMPARE(form.LabTrans->text(), QString("100"));
    QCOMPARE(editor.WriteBack.Transparency, TransparencyScale);
    form.TrackTrans->SetPosition(30);
    QCOMPARE(editor.WriteBack.Transparency, 1258291);  // trunc(0.3 * 2^22)
    QTest::mouseClick(form.CGreen, Qt::LeftButton);
    QCOMPARE(editor.WriteBack.ChannelOn, (std::array<bool, 3>{true, false, true}));
    form.TrackPixelVary->SetPosition(40);
    QCOMPARE(form.LabPixelVary->text(), QString("40"));
    QCOMPARE(editor.WriteBack.PixelVary, 0);
    QTest::mouseClick(form.Chann_OK, Qt::LeftButton);
    QCOMPARE(editor.WriteBack.PixelVary, 40);
    QVERIFY(!form.isVisible());
  }

  void defaultResetsEverything() {
    TEditorState editor;
    editor.SetDefaultColors();
    SetColorRecord(editor.LowColor, RGBColor(5, 6, 7));
    editor.WriteBack.ChannelOn = {false, false, true};
    editor.WriteBack.PixelVary = 33;
    TChannelForm form(editor);
    QCOMPARE(form.CBlue->isChecked(), false);
    QTest::mouseClick(form.Chann_def, Qt::LeftButton);
    QCOMPARE(editor.WriteBack.ChannelOn, (std::array<bool, 3>{true, true, true}));
    QCOMPARE(editor.WriteBack.Transparency, 0);
    QCOMPARE(editor.LowColor.Color, clBlack);
    QCOMPARE(editor.HighColor.Color, clWhite);
    QCOMPARE(form.ColorLow->Color(), QColor(Qt::black));
    QCOMPARE(form.TrackPixelVary->Position(), 0);
  }

  void panicButtonResetsTheTransparency() {
    TSDIAppForm main;
    main.show();
    QVERIFY(QTest::qWaitForWindowActive(&main));
    main.ChannelForm->TrackTrans->SetPosition(70);
    main.Editor.WriteBack.PixelVary = 12;
    const TColor fore = main.Editor.ForeColor.Color;
    WhenModal([](QWidget* dialog) {
      QTest::mouseClick(dialog->findChild<QPushButton*>("WngOK"), Qt::LeftButton);
    });
    QTest::mouseClick(main.panic, Qt::LeftButton);
    QCOMPARE(main.Editor.WriteBack.Transparency, 0);
    QCOMPARE(main.Editor.WriteBack.PixelVary, 0);
    QCOMPARE(main.Editor.ForeColor.Color, fore);
  }
};

QTEST_MAIN(TestChannelForm)
#include "Channelform1Test.moc"
