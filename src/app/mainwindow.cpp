#include "app/mainwindow.h"

#include "app/animationplayer.h"
#include "app/codeeditor.h"
#include "app/consolecontroller.h"
#include "app/consolepanel.h"
#include "app/exportquality.h"
#include "app/imageview.h"
#include "app/messagebox.h"
#include "app/panesplitter.h"
#include "app/pixelprobe.h"
#include "app/pixelreadout.h"
#include "app/scriptfilewatcher.h"
#include "app/timeline.h"
#include "core/apppath.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStackedWidget>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

using Purpose = RenderTask::Purpose;

namespace {

// Long enough for a typing pause, short enough for the picture to follow the text.
constexpr int livePauseMs = 400;

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
{
    library = new PaintingLibrary(QDir(appRelativePath(QStringLiteral("paintings"))), this);
    setWindowTitle(tr("Pictoloom"));
    resize(960, 520);
    QMenu *optionsMenu = createActions();
    createDocuments();
    createPaintingPage(optionsMenu);
    createStdlibPage();
    setUpLivePreview();

    editorStack = new QStackedWidget;
    editorStack->setObjectName(QStringLiteral("editorStack"));
    editorStack->addWidget(paintingPage);
    editorStack->addWidget(stdlibPage);
    setCentralWidget(editorStack);
}

// The shortcuts work window-wide; the rest of the commands live in the returned menu.
QMenu *MainWindow::createActions()
{
    auto *previewAction = new QAction(tr("Preview"), this);
    previewAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    connect(previewAction, &QAction::triggered, this, &MainWindow::updatePreview);
    addAction(previewAction);

    auto *exportAction = new QAction(tr("Export Image"), this);
    exportAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    connect(exportAction, &QAction::triggered, this, &MainWindow::saveImage);
    addAction(exportAction);

    stopRenderAction = new QAction(tr("Stop Render"), this);
    stopRenderAction->setShortcut(QKeySequence(Qt::Key_Escape));
    stopRenderAction->setEnabled(false);
    addAction(stopRenderAction);

    auto *lowQualityAction = new QAction(tr("Low Quality Preview"), this);
    lowQualityAction->setCheckable(true);
    lowQualityAction->setChecked(lowQuality);
    connect(lowQualityAction, &QAction::toggled, this, &MainWindow::setLowQuality);

    auto *stdlibAction = new QAction(tr("Edit Standard Library"), this);
    stdlibAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    connect(stdlibAction, &QAction::triggered, this, &MainWindow::toggleStdlibView);
    addAction(stdlibAction);

    auto *externalEditorAction = new QAction(tr("Use External Editor"), this);
    externalEditorAction->setCheckable(true);
    externalEditorAction->setChecked(useExternalEditor);
    connect(externalEditorAction, &QAction::toggled, this, &MainWindow::setUseExternalEditor);

    auto *frameAction = new QAction(tr("Save With Frame"), this);
    frameAction->setCheckable(true);
    frameAction->setChecked(saveWithFrame);
    connect(frameAction, &QAction::toggled, this, &MainWindow::setSaveWithFrame);

    auto *liveAction = new QAction(tr("Live Preview"), this);
    liveAction->setCheckable(true);
    liveAction->setChecked(livePreview);
    liveAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R));
    connect(liveAction, &QAction::toggled, this, &MainWindow::setLivePreview);
    addAction(liveAction);

    auto *saveCopyAction = new QAction(tr("Save Copy"), this);
    connect(saveCopyAction, &QAction::triggered, this, &MainWindow::saveFileAs);

    auto *playAction = new QAction(tr("Play/Pause"), this);
    playAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    connect(playAction, &QAction::triggered, this, [this] { player->togglePlaying(); });
    addAction(playAction);

    auto *animationAction = new QAction(tr("Export Animation..."), this);
    animationAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    connect(animationAction, &QAction::triggered, this, &MainWindow::exportAnimation);
    addAction(animationAction);

    showConsoleAction = new QAction(tr("Show Console"), this);

    // A button does not own its menu, and a menu without a parent would outlive the window.
    auto *optionsMenu = new QMenu;
    connect(this, &QObject::destroyed, optionsMenu, [optionsMenu] { delete optionsMenu; });
    optionsMenu->addAction(lowQualityAction);
    optionsMenu->addAction(externalEditorAction);
    optionsMenu->addAction(frameAction);
    optionsMenu->addAction(liveAction);
    optionsMenu->addSeparator();
    optionsMenu->addAction(saveCopyAction);
    optionsMenu->addAction(stdlibAction);
    optionsMenu->addAction(animationAction);
    exportQuality = new ExportQuality(this);
    optionsMenu->addMenu(exportQuality->sizeMenu());
    optionsMenu->addMenu(exportQuality->antiAliasingMenu());
    optionsMenu->addSeparator();
    optionsMenu->addAction(showConsoleAction);
    addPaintingCommands(optionsMenu);
    return optionsMenu;
}

// New, Rename and Delete, at the end of the menu; The Sketchbook is neither renamed nor deleted.
void MainWindow::addPaintingCommands(QMenu *optionsMenu)
{
    auto *newAction = new QAction(tr("New Painting..."), this);
    newAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    connect(newAction, &QAction::triggered, this, [this] {
        // The new painting shows at once; leaving the library's page saves it, as ever.
        openPainter();
        if (editorStack->currentWidget() == paintingPage)
            library->newPainting(painting, useExternalEditor);
    });
    addAction(newAction);

    auto *renameAction = new QAction(tr("Rename Painting..."), this);
    connect(renameAction, &QAction::triggered, this,
            [this] { library->renamePainting(painting, useExternalEditor); });

    auto *deleteAction = new QAction(tr("Delete Painting"), this);
    connect(deleteAction, &QAction::triggered, this,
            [this] { library->deletePainting(painting, useExternalEditor); });

    for (QAction *action : {renameAction, deleteAction})
        connect(library, &PaintingLibrary::sketchbookCurrent, action, &QAction::setDisabled);
    optionsMenu->addSeparator();
    optionsMenu->addActions({newAction, renameAction, deleteAction});
}

void MainWindow::createDocuments()
{
    paintingEditor = createCodeEditor();
    paintingEditor->setObjectName(QStringLiteral("paintingEditor"));
    paintingEditor->setPlaceholderText(
        tr("Write a function render() that sets r, g and b (0 to 1) for the pixel at x, y, "
           "then press Ctrl+R to see the picture. The paintings in the list show how."));
    painting = new ScriptDocument(paintingEditor, this);

    stdlibEditor = createCodeEditor();
    stdlibEditor->setObjectName(QStringLiteral("stdlibEditor"));
    stdlibEditor->setPlaceholderText(
        tr("Functions written here serve every painting: this runs before each of them."));
    stdlib = new ScriptDocument(stdlibEditor, this);
    stdlib->setPath(appRelativePath(QStringLiteral("stdlib.js")));
}

// The picture beside the painting's editor, over the row of controls. The painting list is
// filled here, which loads the first painting.
void MainWindow::createPaintingPage(QMenu *optionsMenu)
{
    imageView = new ImageView;
    imageView->setObjectName(QStringLiteral("imageView"));
    imageView->setMinimumWidth(200);
    imageView->setVisible(false);

    auto *optionsButton = new QPushButton(tr("Options"));
    optionsButton->setMenu(optionsMenu);
    auto *previewButton = new QPushButton(tr("Preview"));
    previewButton->setToolTip(tr("Render preview (Ctrl+R)"));
    connect(previewButton, &QPushButton::clicked, this, &MainWindow::updatePreview);
    auto *exportButton = new QPushButton(tr("Export"));
    exportButton->setToolTip(tr("Save resulting picture (Ctrl+E)"));
    connect(exportButton, &QPushButton::clicked, this, &MainWindow::saveImage);

    statusLabel = new QLabel;
    statusLabel->setObjectName(QStringLiteral("statusLabel"));
    // A long message is cut off at the window's edge rather than widening the window.
    statusLabel->setMinimumWidth(1);
    progressBar = new QProgressBar;
    progressBar->setObjectName(QStringLiteral("progressBar"));
    statusStack = new QStackedWidget;
    statusStack->setObjectName(QStringLiteral("statusStack"));
    statusStack->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Maximum);
    statusStack->addWidget(statusLabel);
    statusStack->addWidget(progressBar);
    timeline = new Timeline;
    timeline->setObjectName(QStringLiteral("timeline"));
    createRenderController();
    createAnimationPlayer();
    createConsole();

    pixelLabel = new QLabel;
    pixelLabel->setObjectName(QStringLiteral("pixelLabel"));
    // As wide as most readouts, so that it keeps still as the pointer moves.
    pixelLabel->setMinimumWidth(pixelLabel->fontMetrics().horizontalAdvance(
        pixelReadout(QPoint(9999, 9999), qRgb(255, 255, 255))));
    pixelLabel->setVisible(false);
    connect(imageView, &ImageView::pointedPixelChanged, this, &MainWindow::showPointedPixel);

    paintingList = library->list();
    connect(paintingList, QOverload<int>::of(&QComboBox::currentIndexChanged),
            this, &MainWindow::fileChosen);
    fillPaintingList();
    // Typing after a pick goes to the painting, not to the list, where it would pick again.
    connect(library, &PaintingLibrary::pickedFromList, this, [this] {
        if (!useExternalEditor)
            paintingEditor->setFocus(Qt::PopupFocusReason);
    });

    auto *controlRow = new QHBoxLayout;
    controlRow->addWidget(paintingList);
    controlRow->addWidget(statusStack, 1);
    controlRow->addWidget(pixelLabel);
    controlRow->addWidget(optionsButton);
    controlRow->addWidget(previewButton);
    controlRow->addWidget(exportButton);

    // The console under the painting's editor: opening it leaves the picture as it was.
    auto *editorPane = new PaneSplitter(Qt::Vertical);
    editorPane->setChildrenCollapsible(false);
    editorPane->addWidget(paintingEditor);
    editorPane->addWidget(consolePanel);
    editorPane->setStretchFactor(0, 3);
    editorPane->setStretchFactor(1, 1);
    auto *splitter = new QSplitter(Qt::Horizontal);
    splitter->addWidget(imageView);
    splitter->addWidget(editorPane);

    auto *paintingLayout = new QVBoxLayout;
    paintingLayout->addWidget(splitter);
    paintingLayout->addWidget(timeline);
    paintingLayout->addLayout(controlRow);
    paintingPage = new QWidget;
    paintingPage->setObjectName(QStringLiteral("paintingPage"));
    paintingPage->setLayout(paintingLayout);
}

void MainWindow::createRenderController()
{
    RenderController::View view;
    view.window = this;
    view.statusStack = statusStack;
    view.statusLabel = statusLabel;
    view.progressBar = progressBar;
    view.imageView = imageView;
    view.paintingEditor = paintingEditor;
    view.stdlibEditor = stdlibEditor;
    renders = new RenderController(view, this);
    connect(renders, &RenderController::showingErrorIn, this, &MainWindow::showPageOf);
}

// Escape stops whatever renders or plays; with nothing to stop it reaches the find bar.
void MainWindow::createAnimationPlayer()
{
    player = new AnimationPlayer(timeline, renders, this);
    auto followRuns = [this] {
        stopRenderAction->setEnabled(renders->isUserRenderRunning() || player->isBusy());
    };
    connect(renders, &RenderController::userRenderRunning, this, followRuns);
    connect(player, &AnimationPlayer::busyChanged, this, followRuns);
    connect(stopRenderAction, &QAction::triggered, this, [this] {
        renders->stop(Purpose::Preview);
        renders->stop(Purpose::Export);
        player->stop();
    });
    connect(renders, &RenderController::showingErrorIn, this, &MainWindow::showPageOf);
    connect(renders, &RenderController::finished, library, &PaintingLibrary::noteRender);
}

// The console opens by itself once a render prints or fails.
void MainWindow::createConsole()
{
    consolePanel = new ConsolePanel;
    consolePanel->setVisible(false);
    console = new ConsoleController(consolePanel, showConsoleAction, this);
    connect(renders, &RenderController::printed, console, &ConsoleController::showRender);
    inspector = new PixelProbe(this);
    // A pointer over the picture may click next: the inspector's renderer starts meanwhile.
    connect(imageView, &ImageView::pointedPixelChanged, inspector, &PixelProbe::prepare);
    connect(imageView, &ImageView::pixelClicked, this, &MainWindow::probePixel);
    connect(inspector, &PixelProbe::inspected, console, &ConsoleController::showInspection);
}

// The picture's own step and place, as the readout tells them; the scripts as they are now.
void MainWindow::probePixel(const QPoint &pixel)
{
    inspector->inspect(renderTask(Purpose::Preview, imageView->step()),
                       imageView->paintingPlace(pixel));
}

void MainWindow::createStdlibPage()
{
    loadStdlib();

    auto *doneButton = new QPushButton(tr("Done"));
    connect(doneButton, &QPushButton::clicked, this, &MainWindow::openPainter);
    auto *doneRow = new QHBoxLayout;
    doneRow->addStretch(1);
    doneRow->addWidget(doneButton);
    auto *stdlibLayout = new QVBoxLayout;
    stdlibLayout->addWidget(stdlibEditor);
    stdlibLayout->addLayout(doneRow);
    stdlibPage = new QWidget;
    stdlibPage->setObjectName(QStringLiteral("stdlibPage"));
    stdlibPage->setLayout(stdlibLayout);
}

// A window that was closed has settled its documents with the user already.
MainWindow::~MainWindow()
{
    if (!useExternalEditor && !closeSettled) {
        stdlib->saveWithoutAsking();
        painting->saveWithoutAsking();
    }
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!useExternalEditor && !(stdlib->save() && painting->save())) {
        event->ignore();
        return;
    }
    closeSettled = true;
    renders->stopAll();
    QMainWindow::closeEvent(event);
}

// The editors' texts as they would be saved: toPlainText() would turn no-break spaces into
// spaces and U+2028 into line breaks, inside string literals too.
RenderTask MainWindow::renderTask(Purpose purpose, int step) const
{
    RenderTask task;
    task.purpose = purpose;
    task.request.stdlibText = stdlib->text();
    task.request.paintingText = painting->text();
    task.request.step = step;
    task.request.frame = player->shownFrame();
    task.namesFrame = player->isAnimated();
    task.framed = saveWithFrame;
    task.stdlibName = QFileInfo(stdlibPath()).fileName();
    // The user edits a file of their own in the external editor, and a painting otherwise.
    task.paintingName = useExternalEditor ? QFileInfo(paintingPath()).fileName()
                                          : library->currentTitle();
    // The external editor holds the text there; the box names the file and line.
    task.marksErrorLine = !useExternalEditor;
    return task;
}

RenderTask MainWindow::exportTask() const
{
    RenderTask task = renderTask(Purpose::Export, 1);
    task.request.scale = exportQuality->scale();
    task.request.samples = exportQuality->samples();
    return task;
}

QImage MainWindow::renderImage(int step)
{
    RenderClient client;
    RenderJob *job = client.start(renderTask(Purpose::Preview, step).request);
    QEventLoop loop;
    connect(job, &RenderJob::finished, &loop, &QEventLoop::quit);
    loop.exec();
    return job->result().image;
}

void MainWindow::updatePreview()
{
    liveTimer->stop();
    renders->stop(Purpose::Live);
    if (useExternalEditor) {
        loadFile();
        loadStdlib();
    } else if (!painting->save()) {
        return;
    }
    renders->start(renderTask(Purpose::Preview, lowQuality ? 2 : 1));
}

void MainWindow::saveImage()
{
    const QString fileName = QFileDialog::getSaveFileName(this, QString(), QString(), QString());
    if (fileName.isEmpty())
        return;
    RenderTask task = exportTask();
    task.exportPath = fileName;
    renders->start(task);
}

void MainWindow::exportAnimation()
{
    const QString fileName = QFileDialog::getSaveFileName(this, tr("Export Animation"));
    if (fileName.isEmpty())
        return;
    RenderTask task = exportTask();
    task.request.frame = 0;
    task.exportPath = fileName;
    renders->startAnimation(task);
}

void MainWindow::setLowQuality(bool on)
{
    lowQuality = on;
}

void MainWindow::setSaveWithFrame(bool on)
{
    saveWithFrame = on;
}

void MainWindow::loadFile()
{
    painting->load();
}

void MainWindow::saveFile()
{
    painting->save();
}

void MainWindow::loadStdlib()
{
    stdlib->load();
}

void MainWindow::saveStdlib()
{
    stdlib->save();
}

// The mode stays as the user set it: the files can be edited with any program.
void MainWindow::openExternally(const QString &path)
{
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        return;
    showPlainMessage(this, QMessageBox::Warning, tr("Could Not Open"),
                     tr("The desktop found no program to open %1.\n\n\"Use External Editor\" "
                        "stays on: edit the file with a program of your choice, and Pictoloom "
                        "reads it again before every preview.")
                         .arg(QDir::toNativeSeparators(path)));
}

void MainWindow::openStdlibView()
{
    if (useExternalEditor) {
        openExternally(stdlibPath());
        return;
    }
    editorStack->setCurrentWidget(stdlibPage);
}

void MainWindow::openPainter()
{
    if (!useExternalEditor && !stdlib->save())
        return;
    editorStack->setCurrentWidget(paintingPage);
}

void MainWindow::toggleStdlibView()
{
    if (editorStack->currentWidget() == stdlibPage)
        openPainter();
    else
        openStdlibView();
}

void MainWindow::showPageOf(RenderResult::ErrorSource source)
{
    if (source == RenderResult::ErrorSource::Stdlib) {
        if (editorStack->currentWidget() != stdlibPage)
            openStdlibView();
    } else if (editorStack->currentWidget() != paintingPage) {
        openPainter();
    }
}

void MainWindow::setUseExternalEditor(bool on)
{
    const bool entering = on && !useExternalEditor;
    const bool leaving = !on && useExternalEditor;

    if (entering) {
        // From now on the files are the documents, and the next preview reads them back into
        // the editors: what was typed here has to be in them first. If the user cancels, the
        // mode stays off so that the text stays where it is.
        if (!stdlib->save() || !painting->save()) {
            if (auto *action = qobject_cast<QAction *>(sender())) {
                const QSignalBlocker blocker(action);
                action->setChecked(false);
            }
            return;
        }
    }

    useExternalEditor = on;
    followScriptFiles();
    paintingEditor->setVisible(!on);
    if (!on) {
        // The external program may have saved since the editors were last filled; the saves
        // of built-in editing must not put older text back.
        if (leaving) {
            loadFile();
            loadStdlib();
        }
        return;
    }

    openPainter();
    player->clear();
    if (!imageView->isHidden()) {
        imageView->setPixmap(QPixmap());
        renders->showStatus(QString());
    }
    openExternally(paintingPath());
}

void MainWindow::fillPaintingList()
{
    library->fill(paintingPath());
}

void MainWindow::fileChosen(int index)
{
    // A render of the painting being left would show a picture that is no longer current.
    renders->stopAll();
    if (!paintingPath().isEmpty() && !useExternalEditor && !painting->save()) {
        // A pick by the user is undone when the user cancels leaving the painting, so that
        // its text stays in the editor. A refill cannot be undone and goes on.
        if (!library->isRefilling() && index >= 0 && library->reselect(paintingPath()))
            return;
    }

    // A painting keeps its undo history; the external editor holds the files as they are.
    if (useExternalEditor)
        painting->setPath(library->pathAt(index));
    else
        painting->switchTo(library->pathAt(index));
    player->clear();
    renders->showStatus(QString());
    if (!useExternalEditor) {
        imageView->hide();
    } else {
        imageView->setPixmap(QPixmap());
        if (!paintingPath().isEmpty())
            openExternally(paintingPath());
    }
    followScriptFiles();
}

void MainWindow::showPointedPixel(const QPoint &pixel)
{
    const bool overPicture = pixel.x() >= 0;
    if (overPicture)
        pixelLabel->setText(
            pixelReadout(imageView->paintingPlace(pixel), imageView->pixelColour(pixel)));
    pixelLabel->setVisible(overPicture);
}

void MainWindow::saveFileAs()
{
    const QString newPath = library->saveCopy(painting, useExternalEditor);
    if (newPath.isEmpty())
        return;
    painting->setPath(newPath);
    fillPaintingList();
}

void MainWindow::setUpLivePreview()
{
    liveTimer = new QTimer(this);
    liveTimer->setSingleShot(true);
    liveTimer->setInterval(livePauseMs);
    connect(liveTimer, &QTimer::timeout, this, &MainWindow::startLiveRender);

    scriptWatcher = new ScriptFileWatcher(this);
    connect(scriptWatcher, &ScriptFileWatcher::fileChanged, this, [this] {
        if (livePreview && useExternalEditor)
            liveTimer->start();
    });

    for (CodeEditor *editor : {paintingEditor, stdlibEditor})
        connect(editor, &QPlainTextEdit::textChanged, this, &MainWindow::scriptTextChanged);
}

void MainWindow::setLivePreview(bool on)
{
    livePreview = on;
    followScriptFiles();
    if (on) {
        liveTimer->start();
    } else {
        liveTimer->stop();
        renders->stop(Purpose::Live);
    }
}

// The files are watched only while they are what the picture follows; a newly followed
// file is rendered at once.
void MainWindow::followScriptFiles()
{
    // Picking the first painting comes before the live preview is set up, and nothing is live.
    if (!scriptWatcher)
        return;
    if (livePreview && useExternalEditor) {
        scriptWatcher->setFiles({paintingPath(), stdlibPath()});
        liveTimer->start();
    } else {
        scriptWatcher->setFiles({});
    }
}

void MainWindow::scriptTextChanged()
{
    if (!livePreview || useExternalEditor)
        return;
    // The render under way is of text that is no longer there.
    renders->stop(Purpose::Live);
    liveTimer->start();
}

void MainWindow::startLiveRender()
{
    // A preview or export of the user's own asking goes first; the live one waits its turn.
    if (renders->isUserRenderRunning()) {
        liveTimer->start();
        return;
    }
    if (useExternalEditor && !(reloadForLive(painting, true) && reloadForLive(stdlib, false)))
        return;
    renders->start(renderTask(Purpose::Live, lowQuality ? 2 : 1));
}

// A file the external editor left unreadable, or a painting it deleted, is said in the status
// area as a live error: a box would stop the user at every save.
bool MainWindow::reloadForLive(ScriptDocument *document, bool mustExist)
{
    QString reason;
    if (document->reloadQuietly(mustExist, &reason))
        return true;
    renders->stop(Purpose::Live);
    renders->showOutOfDate(tr("Live: could not read %1: %2")
                               .arg(QFileInfo(document->path()).fileName(), reason));
    return false;
}
