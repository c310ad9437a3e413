#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include "app/codeeditor.h"
#include "app/documentfile.h"
#include "engine/scriptrenderer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QMainWindow>
#include <QSet>
#include <QString>

class ImageView;
class QAction;
class QCloseEvent;
class QComboBox;
class QMenu;
class QLabel;
class QProgressBar;
class QStackedWidget;
class QWidget;
class QTimer;
class RenderClient;
struct RenderRequest;
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
    // Stops a render; asks what to do with a document that cannot be saved, and Cancel keeps
    // the window open.
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
    RenderResult renderPicture(int step);
    RenderRequest renderRequest(int step) const;
    void showPicture(const QImage &picture, int step);
    void reportRenderFailure(const RenderResult &result);
    void showRenderRunning();
    void stopRender();
    // The "Script Error" box for a render that ended in a script error.
    void reportScriptError(const RenderResult &result);
    // Where the error happened, for the box: script and line, pixel; empty when unknown.
    QString scriptErrorPlace(const RenderResult &result) const;
    // Shows the error's line in the editor that holds it, on its page, marked until the next
    // edit or render; not in a text edited since the render began, whose lines have moved.
    void showScriptErrorLine(const RenderResult &result);
    // Clears the marks of the last error and notes the texts that the render starting runs.
    void noteRenderStart();
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
    QString liveErrorText(const RenderResult &result) const;
    // Sets the status text; an error shows in a colour that stands out.
    void showStatus(const QString &text, bool isError = false);

    void loadDocument(QPlainTextEdit *editor, const QString &path, DocumentFile &file);
    // Writes the editor's text to its file at a save moment, unless it is unchanged. When the
    // file cannot simply be replaced the user chooses; false means the user cancelled, and
    // whatever the moment was doing should not happen.
    bool saveDocument(QPlainTextEdit *editor, const QString &path, DocumentFile &file);
    bool savePaintingDocument();
    bool saveStdlibDocument();
    // For a window destroyed without being closed, when there is no one left to ask.
    void saveWithoutAsking(QPlainTextEdit *editor, const QString &path, DocumentFile &file);
    bool writeDocument(const QString &path, const QString &text, DocumentFile &file,
                       QString *errorString);
    void tellOnce(const QString &path, const QString &title, const QString &text);

    ImageView *imageView = nullptr;
    QLabel *statusLabel = nullptr;
    CodeEditor *paintingEditor = nullptr;
    CodeEditor *stdlibEditor = nullptr;
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
    // The editors' edit counts when the current render took their texts.
    int paintingEditsAtRender = 0;
    int stdlibEditsAtRender = 0;

    bool livePreview = false;
    QTimer *liveTimer = nullptr;
    ScriptFileWatcher *scriptWatcher = nullptr;
    RenderJob *liveRender = nullptr;
    QElapsedTimer liveClock;
    int liveStep = 1;

    DocumentFile paintingFile;
    DocumentFile stdlibFile;
    QSet<QString> toldAbout;   // files whose reading trouble the user has been told of
    bool closeSettled = false;
    bool refilling = false;
};

#endif // MAINWINDOW_H
