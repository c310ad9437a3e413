#ifndef RENDERINPUTGUARD_H
#define RENDERINPUTGUARD_H

#include <QObject>

// While a render lets the engine process events, user input must not start other commands
// inside it. This swallows input for the whole application while it lives, except Escape,
// which it records as a request to stop.
class RenderInputGuard : public QObject
{
    Q_OBJECT

public:
    RenderInputGuard();
    ~RenderInputGuard() override;

    bool stopRequested() const { return stopWanted; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool stopWanted = false;
};

#endif // RENDERINPUTGUARD_H
