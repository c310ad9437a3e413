#include "app/exportquality.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

namespace {

// The choices are numbered from 1: the scale, and the samples a side.
int chosen(const QActionGroup *group)
{
    const QAction *checked = group->checkedAction();
    return checked ? checked->data().toInt() : 1;
}

} // namespace

ExportQuality::ExportQuality(QWidget *parent)
    : QObject(parent)
    , sizes(choices(tr("Export Size"), {tr("1×"), tr("2×"), tr("3×"), tr("4×")}, &sizeGroup, parent))
    , antiAliasing(choices(tr("Anti-aliasing"), {tr("Off"), tr("2 × 2"), tr("3 × 3"), tr("4 × 4")},
                           &samplesGroup, parent))
{
}

QMenu *ExportQuality::choices(const QString &title, const QStringList &labels,
                              QActionGroup **group, QWidget *parent)
{
    auto *menu = new QMenu(title, parent);
    *group = new QActionGroup(menu);
    for (int i = 0; i < labels.size(); ++i) {
        QAction *action = menu->addAction(labels.at(i));
        action->setCheckable(true);
        action->setChecked(i == 0);
        action->setData(i + 1);
        (*group)->addAction(action);
    }
    return menu;
}

double ExportQuality::scale() const
{
    return chosen(sizeGroup);
}

int ExportQuality::samples() const
{
    return chosen(samplesGroup);
}
