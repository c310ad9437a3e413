#include "app/findbar.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPalette>
#include <QPlainTextEdit>
#include <QStyle>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolButton>

FindBar::FindBar(QPlainTextEdit *searched, QWidget *parent)
    : QWidget(parent)
    , editor(searched)
    , findText(new QLineEdit)
{
    setAutoFillBackground(true);
    findText->setObjectName(QStringLiteral("findText"));
    findText->setPlaceholderText(tr("Find"));
    findText->installEventFilter(this);
    connect(findText, &QLineEdit::textEdited, this, [this] { find(false, true); });

    auto *previousButton = new QToolButton;
    previousButton->setArrowType(Qt::UpArrow);
    previousButton->setToolTip(tr("Previous match (Shift+F3)"));
    previousButton->setAutoRaise(true);
    connect(previousButton, &QToolButton::clicked, this, &FindBar::findPrevious);
    auto *nextButton = new QToolButton;
    nextButton->setArrowType(Qt::DownArrow);
    nextButton->setToolTip(tr("Next match (F3)"));
    nextButton->setAutoRaise(true);
    connect(nextButton, &QToolButton::clicked, this, &FindBar::findNext);
    auto *closeButton = new QToolButton;
    closeButton->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    closeButton->setToolTip(tr("Close (Escape)"));
    closeButton->setAutoRaise(true);
    connect(closeButton, &QToolButton::clicked, this, &FindBar::closeRequested);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 2, 2);
    layout->setSpacing(2);
    layout->addWidget(findText, 1);
    layout->addWidget(previousButton);
    layout->addWidget(nextButton);
    layout->addWidget(closeButton);
}

void FindBar::start()
{
    const QString selected = editor->textCursor().selectedText();
    // A selection across lines holds paragraph separators: not what anyone means to find.
    if (!selected.isEmpty() && !selected.contains(QChar::ParagraphSeparator))
        findText->setText(selected);
    showFound(true);
    findText->selectAll();
    findText->setFocus(Qt::ShortcutFocusReason);
}

bool FindBar::findNext()
{
    return find(false, false);
}

bool FindBar::findPrevious()
{
    return find(true, false);
}

QString FindBar::text() const
{
    return findText->text();
}

bool FindBar::find(bool backward, bool fromSelectionStart)
{
    const QString wanted = findText->text();
    if (wanted.isEmpty()) {
        showFound(true);
        return false;
    }
    QTextDocument *document = editor->document();
    const QTextDocument::FindFlags flags = backward ? QTextDocument::FindBackward
                                                    : QTextDocument::FindFlags();
    QTextCursor from = editor->textCursor();
    if (fromSelectionStart)
        from.setPosition(from.selectionStart());
    QTextCursor found = document->find(wanted, from, flags);
    if (found.isNull()) {
        QTextCursor wrapped(document);
        if (backward)
            wrapped.movePosition(QTextCursor::End);
        found = document->find(wanted, wrapped, flags);
    }
    if (!found.isNull())
        editor->setTextCursor(found);
    showFound(!found.isNull());
    return !found.isNull();
}

// Not found tints the field red, half way from its usual colour, so the text stays readable
// on a light palette and a dark one.
void FindBar::showFound(bool found)
{
    QPalette fieldPalette = palette();
    if (!found) {
        const QColor base = fieldPalette.color(QPalette::Base);
        const QColor red(0xda, 0x44, 0x53);
        fieldPalette.setColor(QPalette::Base, QColor((base.red() + red.red()) / 2,
                                                     (base.green() + red.green()) / 2,
                                                     (base.blue() + red.blue()) / 2));
    }
    findText->setPalette(fieldPalette);
}

bool FindBar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != findText || event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (key->modifiers() & Qt::ShiftModifier)
            findPrevious();
        else
            findNext();
        return true;
    case Qt::Key_Escape:
        emit closeRequested();
        return true;
    default:
        return false;
    }
}

// Keys the line edit leaves alone (arrows up and down, page keys) would otherwise reach the
// editor underneath and move its cursor while the user is finding.
void FindBar::keyPressEvent(QKeyEvent *event)
{
    event->accept();
}
