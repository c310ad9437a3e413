#include "app/imageview.h"
#include "app/mainwindow.h"
#include "testsupport.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMetaMethod>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QtTest>

#include <memory>
#include <vector>

namespace {

enum Effect { Preview, ExportDialog, PageSwitch };

const QString quickPainting = QStringLiteral("function render(){ r = 1; }");

bool showAndActivate(QWidget &window)
{
    window.show();
    QApplication::setActiveWindow(&window);
    return QTest::qWaitForWindowActive(&window);
}

} // namespace

Q_DECLARE_METATYPE(QMetaMethod::Access)

class tst_MainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init() { resetAppDir(); }

    void actions_data();
    void actions();
    void windowOwnsExactlyItsActions();
    void optionsMenuOrder();
    void buttons_data();
    void buttons();
    void slotTable_data();
    void slotTable();
    void isAMainWindowWithTheSlotsFirst();
    void editorSetUp_data();
    void editorSetUp();
    void initialState();
    void commandsReachTheirSlots_data();
    void commandsReachTheirSlots();
    void escapeClosesTheFindBarWhenNoRenderRuns();
    void ctrlEReachesNothing_data();
    void ctrlEReachesNothing();
    void optionsTakeEffectAtTheNextRender_data();
    void optionsTakeEffectAtTheNextRender();
};

void tst_MainWindow::actions_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QKeySequence>("shortcut");
    QTest::addColumn<bool>("checkable");
    QTest::addColumn<bool>("checked");
    QTest::addColumn<bool>("onWindow");

    const QKeySequence none;
    QTest::newRow("Preview") << "Preview" << QKeySequence(Qt::CTRL | Qt::Key_R) << false
                             << false << true;
    QTest::newRow("Export Image") << "Export Image" << QKeySequence(Qt::CTRL | Qt::Key_S)
                                  << false << false << true;
    QTest::newRow("Low Quality Preview starts on")
        << "Low Quality Preview" << none << true << true << false;
    QTest::newRow("Edit Standard Library") << "Edit Standard Library"
                                           << QKeySequence(Qt::CTRL | Qt::Key_L) << false
                                           << false << true;
    QTest::newRow("Use External Editor starts off")
        << "Use External Editor" << none << true << false << false;
    QTest::newRow("Save With Frame starts on") << "Save With Frame" << none << true << true
                                               << false;
    QTest::newRow("Live Preview starts off")
        << "Live Preview" << QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R) << true << false << true;
    QTest::newRow("Save Copy") << "Save Copy" << none << false << false << false;
    QTest::newRow("Play/Pause") << "Play/Pause" << QKeySequence(Qt::CTRL | Qt::Key_P) << false
                                << false << true;
    QTest::newRow("Export Animation...")
        << "Export Animation..." << QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S) << false
        << false << true;
    QTest::newRow("New Painting...") << "New Painting..." << QKeySequence(Qt::CTRL | Qt::Key_N)
                                     << false << false << true;
    QTest::newRow("Show Console starts off") << "Show Console" << none << true << false << false;
}

void tst_MainWindow::actions()
{
    QFETCH(QString, text);
    QFETCH(QKeySequence, shortcut);
    QFETCH(bool, checkable);
    QFETCH(bool, checked);
    QFETCH(bool, onWindow);

    MainWindow window;
    QAction *action = findAction(&window, text);
    QVERIFY2(action, "expected exactly one action with this text");
    QCOMPARE(action->parent(), &window);
    QCOMPARE(action->shortcuts(), shortcut.isEmpty() ? QList<QKeySequence>() : QList<QKeySequence>{shortcut});
    QCOMPARE(action->shortcutContext(), Qt::WindowShortcut);
    QCOMPARE(action->isCheckable(), checkable);
    QCOMPARE(action->isChecked(), checked);
    QVERIFY(action->isEnabled());
    QCOMPARE(window.actions().contains(action), onWindow);
}

void tst_MainWindow::windowOwnsExactlyItsActions()
{
    MainWindow window;
    QStringList texts;
    for (QAction *action : window.findChildren<QAction *>())
        texts << action->text();
    texts.sort();
    QCOMPARE(texts, QStringList({"1×", "2 × 2", "2×", "3 × 3", "3×", "4 × 4", "4×",
                                 "Anti-aliasing", "Delete Painting", "Edit Standard Library",
                                 "Export Animation...", "Export Image", "Export Size",
                                 "Live Preview", "Low Quality Preview",
                                 "New Painting...", "Off", "Play/Pause", "Preview", "Rename Painting...",
                                 "Save Copy", "Save With Frame", "Show Console", "Stop Render",
                                 "Use External Editor"}));
}

void tst_MainWindow::optionsMenuOrder()
{
    MainWindow window;
    QPushButton *options = findButton(&window, "Options");
    QVERIFY(options);
    QMenu *menu = options->menu();
    QVERIFY(menu);

    QStringList entries;
    for (QAction *action : menu->actions()) {
        entries << (action->isSeparator() ? QStringLiteral("----") : action->text());
        if (!action->isSeparator())
            QCOMPARE(action, findAction(&window, action->text()));
    }
    QCOMPARE(entries, QStringList({"Low Quality Preview", "Use External Editor",
                                   "Save With Frame", "Live Preview", "----", "Save Copy",
                                   "Edit Standard Library", "Export Animation...", "Export Size",
                                   "Anti-aliasing", "----", "Show Console", "----", "New Painting...", "Rename Painting...",
                                   "Delete Painting"}));
}

void tst_MainWindow::buttons_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("toolTip");
    QTest::addColumn<QString>("page");

    QTest::newRow("Preview") << "Preview" << "Render preview (Ctrl+R)" << "paintingPage";
    // The tooltip names Ctrl+E although exporting is on Ctrl+S; users have learnt both texts.
    QTest::newRow("Export") << "Export" << "Save resulting picture (Ctrl+E)" << "paintingPage";
    QTest::newRow("Options") << "Options" << "" << "paintingPage";
    QTest::newRow("Done") << "Done" << "" << "stdlibPage";
}

void tst_MainWindow::buttons()
{
    QFETCH(QString, text);
    QFETCH(QString, toolTip);
    QFETCH(QString, page);

    MainWindow window;
    QPushButton *button = findButton(&window, text);
    QVERIFY(button);
    QCOMPARE(button->toolTip(), toolTip);
    QVERIFY(button->isEnabled());
    auto *pageWidget = part<QWidget>(&window, page);
    QVERIFY(pageWidget);
    QVERIFY(pageWidget->isAncestorOf(button));
}

void tst_MainWindow::slotTable_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QByteArray>("signature");
    QTest::addColumn<QMetaMethod::Access>("access");

    const QByteArray publicSlots[] = {"updatePreview()",   "saveImage()",
                                "setLowQuality(bool)", "setUseExternalEditor(bool)",
                                "setSaveWithFrame(bool)", "openStdlibView()",
                                "openPainter()",     "toggleStdlibView()",
                                "saveStdlib()",      "saveFile()",
                                "saveFileAs()",      "loadStdlib()",
                                "loadFile()"};
    int index = 0;
    for (const QByteArray &signature : publicSlots) {
        QTest::newRow(signature.constData()) << index << signature << QMetaMethod::Public;
        ++index;
    }
    QTest::newRow("fileChosen(int)") << index << QByteArray("fileChosen(int)")
                                     << QMetaMethod::Private;
}

void tst_MainWindow::slotTable()
{
    QFETCH(int, index);
    QFETCH(QByteArray, signature);
    QFETCH(QMetaMethod::Access, access);

    const QMetaObject &meta = MainWindow::staticMetaObject;
    QVERIFY(meta.methodOffset() + index < meta.methodCount());
    const QMetaMethod method = meta.method(meta.methodOffset() + index);
    QCOMPARE(method.methodSignature(), signature);
    QCOMPARE(method.methodType(), QMetaMethod::Slot);
    QCOMPARE(method.access(), access);
    QCOMPARE(method.returnType(), int(QMetaType::Void));
}

// Members beyond the slots may come and go; the slots keep their places at the start.
void tst_MainWindow::isAMainWindowWithTheSlotsFirst()
{
    const QMetaObject &meta = MainWindow::staticMetaObject;
    QCOMPARE(meta.superClass(), &QMainWindow::staticMetaObject);
    QVERIFY(meta.methodCount() - meta.methodOffset() >= 14);
}

void tst_MainWindow::editorSetUp_data()
{
    QTest::addColumn<QString>("name");

    QTest::newRow("painting editor") << "paintingEditor";
    QTest::newRow("standard-library editor") << "stdlibEditor";
}

void tst_MainWindow::editorSetUp()
{
    QFETCH(QString, name);

    MainWindow window;
    auto *editor = part<QPlainTextEdit>(&window, name);
    QVERIFY(editor);
    const QFont font = editor->font();
    QCOMPARE(font.family(), QStringLiteral("Courier"));
    QCOMPARE(font.pointSize(), 10);
    QCOMPARE(font.weight(), int(QFont::Normal));
    QVERIFY(!font.italic());
    QCOMPARE(editor->minimumWidth(), 320);
    QCOMPARE(editor->tabStopDistance(),
             qreal(editor->fontMetrics().horizontalAdvance(QStringLiteral("    "))));

    // What the user sees: text after a tab lines up with text after four spaces, give or
    // take the rounding of the tab stop to whole pixels.
    editor->setPlainText(QStringLiteral("\tx\n    x"));
    editor->resize(500, 200);
    QTextCursor afterTab(editor->document());
    afterTab.setPosition(1);
    QTextCursor afterSpaces(editor->document());
    afterSpaces.setPosition(7);
    const int tabEnd = editor->cursorRect(afterTab).x();
    const int spacesEnd = editor->cursorRect(afterSpaces).x();
    QVERIFY2(qAbs(tabEnd - spacesEnd) <= 1,
             qPrintable(QStringLiteral("tab ends at %1, four spaces at %2").arg(tabEnd).arg(spacesEnd)));
}

void tst_MainWindow::initialState()
{
    MainWindow window;
    auto *editorStack = part<QStackedWidget>(&window, "editorStack");
    auto *statusStack = part<QStackedWidget>(&window, "statusStack");
    auto *imageView = part<ImageView>(&window, "imageView");
    auto *statusLabel = part<QLabel>(&window, "statusLabel");
    QVERIFY(editorStack && statusStack && imageView && statusLabel);

    QCOMPARE(window.windowTitle(), QStringLiteral("Pictoloom"));
    QCOMPARE(window.size(), QSize(960, 520));
    QVERIFY(QFileInfo(paintingsPath()).isDir());
    QCOMPARE(window.centralWidget(), editorStack);
    QCOMPARE(editorStack->count(), 2);
    QCOMPARE(editorStack->currentWidget(), part<QWidget>(&window, "paintingPage"));
    QCOMPARE(editorStack->widget(1), part<QWidget>(&window, "stdlibPage"));
    QCOMPARE(statusStack->currentWidget(), statusLabel);
    QCOMPARE(statusStack->widget(1), part<QWidget>(&window, "progressBar"));
    QVERIFY(statusLabel->text().isEmpty());
    QVERIFY(imageView->isHidden());
    QCOMPARE(imageView->minimumWidth(), 200);

    QVERIFY(showAndActivate(window));
    QVERIFY(!imageView->isVisible());
    QVERIFY(paintingEditor(&window)->isVisible());
}

void tst_MainWindow::commandsReachTheirSlots_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("focus");
    QTest::addColumn<bool>("inFindBar");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("effect");

    const struct
    {
        const char *name;
        int key;
        const char *action;
        Effect effect;
    } shortcuts[] = {{"Ctrl+R", Qt::Key_R, "Preview", Preview},
                     {"Ctrl+S", Qt::Key_S, "Export Image", ExportDialog},
                     {"Ctrl+L", Qt::Key_L, "Edit Standard Library", PageSwitch}};
    for (const auto &s : shortcuts) {
        QTest::addRow("%s in the painting editor", s.name)
            << 0 << "paintingEditor" << false << s.key << QString() << s.action << int(s.effect);
        QTest::addRow("%s in the standard-library editor", s.name)
            << 1 << "stdlibEditor" << false << s.key << QString() << s.action << int(s.effect);
        QTest::addRow("%s in the painting editor's find bar", s.name)
            << 0 << "paintingEditor" << true << s.key << QString() << s.action << int(s.effect);
        QTest::addRow("%s in the standard-library editor's find bar", s.name)
            << 1 << "stdlibEditor" << true << s.key << QString() << s.action << int(s.effect);
    }
    QTest::newRow("Preview button") << 0 << QString() << false << 0 << "Preview" << QString()
                                    << int(Preview);
    QTest::newRow("Export button") << 0 << QString() << false << 0 << "Export" << QString()
                                   << int(ExportDialog);
    QTest::newRow("Done button") << 1 << QString() << false << 0 << "Done" << QString()
                                 << int(PageSwitch);
}

void tst_MainWindow::commandsReachTheirSlots()
{
    QFETCH(int, page);
    QFETCH(QString, focus);
    QFETCH(bool, inFindBar);
    QFETCH(int, key);
    QFETCH(QString, button);
    QFETCH(QString, action);
    QFETCH(int, effect);

    MainWindow window;
    auto *editorStack = part<QStackedWidget>(&window, "editorStack");
    auto *imageView = part<ImageView>(&window, "imageView");
    auto *paintingEditor = part<QPlainTextEdit>(&window, "paintingEditor");
    auto *stdlibEditor = part<QPlainTextEdit>(&window, "stdlibEditor");
    QVERIFY(editorStack && imageView && paintingEditor && stdlibEditor);
    paintingEditor->setPlainText(quickPainting);
    QVERIFY(showAndActivate(window));
    editorStack->setCurrentIndex(page);

    std::vector<std::unique_ptr<QSignalSpy>> spies;
    QStringList actionTexts;
    for (QAction *a : window.findChildren<QAction *>()) {
        spies.push_back(std::make_unique<QSignalSpy>(a, &QAction::triggered));
        actionTexts << a->text();
    }

    DialogAnswerer answerer;
    bool sawFileDialog = false;
    answerer.answerWith([&sawFileDialog](QWidget *dialog) {
        sawFileDialog = qobject_cast<QFileDialog *>(dialog) != nullptr;
        if (auto *d = qobject_cast<QDialog *>(dialog))
            d->reject();
    });

    if (key) {
        auto *editor = part<QPlainTextEdit>(&window, focus);
        QVERIFY(editor);
        editor->setFocus();
        QTRY_VERIFY(editor->hasFocus());
        QWidget *target = editor;
        if (inFindBar) {
            QTest::keyClick(editor, Qt::Key_F, Qt::ControlModifier);
            target = editor->findChild<QLineEdit *>(QStringLiteral("findText"));
            QVERIFY(target);
            QTRY_VERIFY(target->hasFocus());
        }
        QTest::keyClick(target, Qt::Key(key), Qt::ControlModifier);
    } else {
        QPushButton *pushButton = findButton(&window, button);
        QVERIFY(pushButton);
        QTest::mouseClick(pushButton, Qt::LeftButton);
    }
    QVERIFY(waitForRender(window));

    for (int i = 0; i < actionTexts.size(); ++i)
        QCOMPARE(spies[i]->count(), actionTexts[i] == action ? 1 : 0);

    switch (Effect(effect)) {
    case Preview:
        QVERIFY(page == 0 ? imageView->isVisible() : !imageView->isHidden());
        QCOMPARE(answerer.dialogCount, 0);
        QCOMPARE(editorStack->currentIndex(), page);
        break;
    case ExportDialog:
        QCOMPARE(answerer.dialogCount, 1);
        QVERIFY(sawFileDialog);
        QVERIFY(imageView->isHidden());
        QCOMPARE(editorStack->currentIndex(), page);
        break;
    case PageSwitch:
        QCOMPARE(editorStack->currentIndex(), 1 - page);
        QCOMPARE(answerer.dialogCount, 0);
        QVERIFY(imageView->isHidden());
        break;
    }
    QCOMPARE(paintingEditor->toPlainText(), quickPainting);
    QVERIFY(stdlibEditor->toPlainText().isEmpty());
}

void tst_MainWindow::escapeClosesTheFindBarWhenNoRenderRuns()
{
    MainWindow window;
    QVERIFY(showAndActivate(window));
    auto *editor = part<QPlainTextEdit>(&window, "paintingEditor");
    QVERIFY(editor);
    editor->setFocus();
    QTRY_VERIFY(editor->hasFocus());
    QTest::keyClick(editor, Qt::Key_F, Qt::ControlModifier);
    auto *field = editor->findChild<QLineEdit *>(QStringLiteral("findText"));
    QVERIFY(field);
    QTRY_VERIFY(field->hasFocus());

    QTest::keyClick(field, Qt::Key_Escape);
    QVERIFY(!field->isVisible());
    QTRY_VERIFY(editor->hasFocus());
    QVERIFY(part<ImageView>(&window, "imageView")->isHidden());
}

void tst_MainWindow::ctrlEReachesNothing_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("focus");

    QTest::newRow("painting editor") << 0 << "paintingEditor";
    QTest::newRow("standard-library editor") << 1 << "stdlibEditor";
}

void tst_MainWindow::ctrlEReachesNothing()
{
    QFETCH(int, page);
    QFETCH(QString, focus);

    MainWindow window;
    auto *editorStack = part<QStackedWidget>(&window, "editorStack");
    auto *imageView = part<ImageView>(&window, "imageView");
    auto *statusLabel = part<QLabel>(&window, "statusLabel");
    auto *editor = part<QPlainTextEdit>(&window, focus);
    QVERIFY(editorStack && imageView && statusLabel && editor);
    editor->setPlainText(quickPainting);
    QVERIFY(showAndActivate(window));
    editorStack->setCurrentIndex(page);
    editor->setFocus();
    QTRY_VERIFY(editor->hasFocus());

    std::vector<std::unique_ptr<QSignalSpy>> spies;
    for (QAction *action : window.findChildren<QAction *>()) {
        QVERIFY(!action->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::Key_E)));
        spies.push_back(std::make_unique<QSignalSpy>(action, &QAction::triggered));
    }
    DialogAnswerer answerer;

    QTest::keyClick(editor, Qt::Key_E, Qt::ControlModifier);
    QTest::qWait(50);

    for (const auto &spy : spies)
        QCOMPARE(spy->count(), 0);
    QCOMPARE(answerer.dialogCount, 0);
    QCOMPARE(editorStack->currentIndex(), page);
    QVERIFY(imageView->isHidden());
    QVERIFY(statusLabel->text().isEmpty());
    QCOMPARE(editor->toPlainText(), quickPainting);

    // The same way of pressing keys does reach the window's shortcuts.
    QSignalSpy exportSpy(findAction(&window, "Export Image"), &QAction::triggered);
    QTest::keyClick(editor, Qt::Key_S, Qt::ControlModifier);
    QTRY_COMPARE(exportSpy.count(), 1);
}

void tst_MainWindow::optionsTakeEffectAtTheNextRender_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<bool>("checked");
    QTest::addColumn<bool>("exporting");
    QTest::addColumn<QSize>("expectedSize");

    QTest::newRow("low quality previews at half size")
        << "Low Quality Preview" << true << false << QSize(320, 240);
    QTest::newRow("full quality previews at full size")
        << "Low Quality Preview" << false << false << QSize(640, 480);
    QTest::newRow("framed export is 40 pixels larger")
        << "Save With Frame" << true << true << QSize(680, 520);
    QTest::newRow("unframed export is the picture's size")
        << "Save With Frame" << false << true << QSize(640, 480);
}

void tst_MainWindow::optionsTakeEffectAtTheNextRender()
{
    QFETCH(QString, option);
    QFETCH(bool, checked);
    QFETCH(bool, exporting);
    QFETCH(QSize, expectedSize);

    MainWindow window;
    auto *imageView = part<ImageView>(&window, "imageView");
    auto *statusLabel = part<QLabel>(&window, "statusLabel");
    auto *paintingEditor = part<QPlainTextEdit>(&window, "paintingEditor");
    QVERIFY(imageView && statusLabel && paintingEditor);
    paintingEditor->setPlainText(quickPainting);

    // Toggle twice so the option's slot runs even where the wanted state is the initial one.
    QAction *optionAction = findAction(&window, option);
    QVERIFY(optionAction);
    optionAction->setChecked(!checked);
    optionAction->setChecked(checked);
    QVERIFY(imageView->isHidden());
    QVERIFY(statusLabel->text().isEmpty());

    if (exporting) {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString file = dir.filePath(QStringLiteral("picture.png"));
        DialogAnswerer answerer;
        answerer.answerFile(file);
        findAction(&window, "Export Image")->trigger();
        QVERIFY(waitForRender(window));
        QCOMPARE(QImage(file).size(), expectedSize);
    } else {
        findAction(&window, "Preview")->trigger();
        QVERIFY(waitForRender(window));
        QVERIFY(!imageView->isHidden());
        QCOMPARE(imageView->sizeHint(), expectedSize);
    }
}

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
