#ifndef EXPORTQUALITY_H
#define EXPORTQUALITY_H

#include <QObject>

class QActionGroup;
class QMenu;
class QWidget;

// The "Export Size" and "Anti-aliasing" submenus: how much larger than the painting's size, and
// with how many samples a pixel, Ctrl+S and Export Animation render. Previews never use them.
// Every run starts at 1× without anti-aliasing.
class ExportQuality : public QObject
{
    Q_OBJECT

public:
    explicit ExportQuality(QWidget *parent);

    QMenu *sizeMenu() const { return sizes; }
    QMenu *antiAliasingMenu() const { return antiAliasing; }
    double scale() const;
    int samples() const;

private:
    static QMenu *choices(const QString &title, const QStringList &labels, QActionGroup **group,
                          QWidget *parent);

    // Set while the menus are made, so declared before them and without initializers.
    QActionGroup *sizeGroup;
    QActionGroup *samplesGroup;
    QMenu *sizes;
    QMenu *antiAliasing;
};

#endif // EXPORTQUALITY_H
