#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include "render/scriptrenderer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QMainWindow>
#include <QString>

class ImageView;
class QAction;
class QCloseEvent;
class QComboBox;
class QMenu;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QStackedWidget;
class QWidget;
class QTimer;
class RenderClient;
class RenderJob;
class ScriptFileWatcher;

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

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
    void closeEvent(QCloseEvent *event) override;

private slots:
    void fileChosen(int index);

private:
    void setUpFolders();
    QMenu *createActions();
    void createPaintingPage(QMenu *optionsMenu);
    void createStdlibPage();

    QImage renderImage(int step);
    // The whole result of a render in the renderer process, its failures already reported.
    // The window stays responsive meanwhile; a render still running gives way to this one.
    ScriptRenderer::Result renderPicture(int step);
    void reportRenderFailure(const ScriptRenderer::Result &result);
    void showRenderRunning();
    void stopRender();
    // The "Script Error" box for a render that ended in a script error.
    void reportScriptError(const ScriptRenderer::Result &result);
    void fillPaintingList();

    // Live preview: the picture follows the text as it is typed, or the files as the external
    // editor saves them, without saving anything and without a box.
    void setUpLivePreview();
    void setLivePreview(bool on);
    void followScriptFiles();
    void scriptTextChanged();
    void startLiveRender();
    void stopLiveRender();
    void liveRenderFinished();
    QString liveErrorText(const ScriptRenderer::Result &result) const;
    // Sets the status text; an error shows in a colour that stands out.
    void showStatus(const QString &text, bool isError = false);

    // Writes a document and tells the user when it could not be written. A document whose
    // file exists but could not be read is not written, so its content is never replaced
    // by the empty text it was loaded as. Returns whether the text is kept in the file.
    bool saveDocument(const QString &path, const QString &text, bool loadFailed);
    void reportSaveFailure(const QString &path, const QString &reason);

    ImageView *imageView = nullptr;
    QLabel *statusLabel = nullptr;
    QPlainTextEdit *paintingEditor = nullptr;
    QPlainTextEdit *stdlibEditor = nullptr;
    QStackedWidget *editorStack = nullptr;
    QProgressBar *progressBar = nullptr;
    QStackedWidget *statusStack = nullptr;
    QWidget *stdlibPage = nullptr;
    QWidget *paintingPage = nullptr;
    QComboBox *paintingList = nullptr;
    bool lowQuality = true;
    bool useExternalEditor = false;
    bool saveWithFrame = true;
    QDir paintingsDir;
    QString paintingPath;
    QString stdlibPath;

    RenderClient *renderClient = nullptr;
    RenderJob *currentRender = nullptr;
    QAction *stopRenderAction = nullptr;

    bool livePreview = false;
    QTimer *liveTimer = nullptr;
    ScriptFileWatcher *scriptWatcher = nullptr;
    RenderJob *liveRender = nullptr;
    QElapsedTimer liveClock;
    int liveStep = 1;

    bool paintingLoadFailed = false;
    bool stdlibLoadFailed = false;
    bool closing = false;
    bool refilling = false;
};

#endif // MAINWINDOW_H
