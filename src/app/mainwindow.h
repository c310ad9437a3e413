#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include "app/paintinglibrary.h"
#include "app/rendercontroller.h"
#include "app/scriptdocument.h"

#include <QDir>
#include <QImage>
#include <QMainWindow>
#include <QPoint>
#include <QString>

class AnimationPlayer;
class CodeEditor;
class ConsoleController;
class ConsolePanel;
class ExportQuality;
class ImageView;
class PixelProbe;
class QAction;
class QCloseEvent;
class QComboBox;
class QLabel;
class QMenu;
class QProgressBar;
class QStackedWidget;
class QTimer;
class QWidget;
class ScriptFileWatcher;
class Timeline;

// The one window: the painting page and the standard-library page, their commands, and the
// wiring between the two script documents, the painting library and the renders.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // The picture of the editors' texts, waited for: for tests and tools. The window's own
    // renders never wait.
    QImage renderImage(int step);

public slots:
    void updatePreview();
    void saveImage();
    void setLowQuality(bool on);
    void setUseExternalEditor(bool on);
    void setSaveWithFrame(bool on);
    void openStdlibView();
    void openPainter();
    void toggleStdlibView();
    void saveStdlib();
    void saveFile();
    void saveFileAs();
    void loadStdlib();
    void loadFile();

protected:
    // Stops the renders; asks what to do with a document that cannot be saved, and Cancel keeps
    // the window open.
    void closeEvent(QCloseEvent *event) override;

private slots:
    void fileChosen(int index);
    void showPointedPixel(const QPoint &pixel);

private:
    void createDocuments();
    QMenu *createActions();
    void addPaintingCommands(QMenu *optionsMenu);
    void createPaintingPage(QMenu *optionsMenu);
    void createStdlibPage();
    void createRenderController();
    void createAnimationPlayer();
    void createConsole();
    void probePixel(const QPoint &pixel);
    void fillPaintingList();

    const QDir &paintingsDir() const { return library->folder(); }
    QString paintingPath() const { return painting->path(); }
    QString stdlibPath() const { return stdlib->path(); }

    RenderTask renderTask(RenderTask::Purpose purpose, int step) const;
    // At the size and anti-aliasing that the Options menu sets.
    RenderTask exportTask() const;
    void showPageOf(RenderResult::ErrorSource source);
    void exportAnimation();
    void openExternally(const QString &path);

    // Live preview: the picture follows the text as it is typed, or the files as the external
    // editor saves them, without saving anything and without a box.
    void setUpLivePreview();
    void setLivePreview(bool on);
    void followScriptFiles();
    void scriptTextChanged();
    void startLiveRender();
    bool reloadForLive(ScriptDocument *document, bool mustExist);

    ImageView *imageView = nullptr;
    QLabel *statusLabel = nullptr;
    QLabel *pixelLabel = nullptr;   // the pixel under the pointer, beside the status
    CodeEditor *paintingEditor = nullptr;
    CodeEditor *stdlibEditor = nullptr;
    QStackedWidget *editorStack = nullptr;
    QProgressBar *progressBar = nullptr;
    QStackedWidget *statusStack = nullptr;
    QWidget *stdlibPage = nullptr;
    QWidget *paintingPage = nullptr;
    QComboBox *paintingList = nullptr;   // the library's list
    bool lowQuality = true;
    bool useExternalEditor = false;
    bool saveWithFrame = true;

    PaintingLibrary *library = nullptr;
    ScriptDocument *painting = nullptr;
    ScriptDocument *stdlib = nullptr;
    RenderController *renders = nullptr;
    QAction *stopRenderAction = nullptr;
    Timeline *timeline = nullptr;   // under the picture of an animation
    AnimationPlayer *player = nullptr;
    ConsolePanel *consolePanel = nullptr;
    QAction *showConsoleAction = nullptr;
    ExportQuality *exportQuality = nullptr;
    ConsoleController *console = nullptr;
    PixelProbe *inspector = nullptr;

    bool livePreview = false;
    QTimer *liveTimer = nullptr;
    ScriptFileWatcher *scriptWatcher = nullptr;

    bool closeSettled = false;
};

#endif // MAINWINDOW_H
