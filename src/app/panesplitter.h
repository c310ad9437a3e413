#ifndef PANESPLITTER_H
#define PANESPLITTER_H

#include <QSplitter>

// A splitter that hides itself while none of its widgets is shown, so that a pane whose widgets
// are all hidden leaves its room to the panes beside it.
class PaneSplitter : public QSplitter
{
public:
    explicit PaneSplitter(Qt::Orientation orientation, QWidget *parent = nullptr);

protected:
    void childEvent(QChildEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void followWidgets();
};

#endif // PANESPLITTER_H
