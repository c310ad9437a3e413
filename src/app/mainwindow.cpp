#include "app/mainwindow.h"

#include "app/codeeditor.h"
#include "core/apppath.h"
#include "client/renderclient.h"
#include "app/imageview.h"

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
{
    setUpFolders();
    renderClient = new RenderClient(RenderClient::defaultProgram(), this);
    // Started once the window is up, so that the first preview need not wait for it.
    QTimer::singleShot(0, renderClient, &RenderClient::prepare);
    setWindowTitle(tr("Pictoloom"));
    resize(960, 520);
    QMenu *optionsMenu = createActions();
    createPaintingPage(optionsMenu);
    createStdlibPage();
    setUpLivePreview();

    editorStack = new QStackedWidget;
    editorStack->setObjectName(QStringLiteral("editorStack"));
    editorStack->addWidget(paintingPage);
    editorStack->addWidget(stdlibPage);
    setCentralWidget(editorStack);
}

void MainWindow::setUpFolders()
{
    paintingsDir = QDir(appRelativePath(QStringLiteral("paintings")));
    stdlibPath = appRelativePath(QStringLiteral("stdlib.js"));
    if (!paintingsDir.exists()) {
        QDir appDir = paintingsDir;
        appDir.cdUp();
        appDir.mkdir(paintingsDir.dirName());
    }
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
    connect(stopRenderAction, &QAction::triggered, this, &MainWindow::stopRender);
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
    return optionsMenu;
}

// The picture beside the painting's editor, over the row of controls. The painting list is
// filled here, which loads the first painting: the standard-library page does not exist yet.
void MainWindow::createPaintingPage(QMenu *optionsMenu)
{
    imageView = new ImageView;
    imageView->setObjectName(QStringLiteral("imageView"));
    imageView->setMinimumWidth(200);
    imageView->setVisible(false);

    paintingEditor = createCodeEditor();
    paintingEditor->setObjectName(QStringLiteral("paintingEditor"));
    paintingEditor->setPlaceholderText(
        tr("Write a function render() that sets r, g and b (0 to 1) for the pixel at x, y, "
           "then press Ctrl+R to see the picture. The paintings in the list show how."));

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
    paintingList = new QComboBox;
    paintingList->setObjectName(QStringLiteral("paintingList"));
    connect(paintingList, QOverload<int>::of(&QComboBox::currentIndexChanged),
            this, &MainWindow::fileChosen);
    fillPaintingList();

    statusStack = new QStackedWidget;
    statusStack->setObjectName(QStringLiteral("statusStack"));
    statusStack->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Maximum);
    statusStack->addWidget(statusLabel);
    statusStack->addWidget(progressBar);

    auto *controlRow = new QHBoxLayout;
    controlRow->addWidget(paintingList);
    controlRow->addWidget(statusStack, 1);
    controlRow->addWidget(optionsButton);
    controlRow->addWidget(previewButton);
    controlRow->addWidget(exportButton);

    auto *splitter = new QSplitter(Qt::Horizontal);
    splitter->addWidget(imageView);
    splitter->addWidget(paintingEditor);

    auto *paintingLayout = new QVBoxLayout;
    paintingLayout->addWidget(splitter);
    paintingLayout->addLayout(controlRow);
    paintingPage = new QWidget;
    paintingPage->setObjectName(QStringLiteral("paintingPage"));
    paintingPage->setLayout(paintingLayout);
}

void MainWindow::createStdlibPage()
{
    stdlibEditor = createCodeEditor();
    stdlibEditor->setObjectName(QStringLiteral("stdlibEditor"));
    stdlibEditor->setPlaceholderText(
        tr("Functions written here serve every painting: this runs before each of them."));
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
        saveWithoutAsking(stdlibEditor, stdlibPath, stdlibFile);
        saveWithoutAsking(paintingEditor, paintingPath, paintingFile);
    }
}

void MainWindow::setLowQuality(bool on)
{
    lowQuality = on;
}

void MainWindow::setSaveWithFrame(bool on)
{
    saveWithFrame = on;
}
