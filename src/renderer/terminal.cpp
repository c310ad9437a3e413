#include "renderer/terminal.h"

#include "client/renderfailure.h"
#include "core/renderresult.h"

#include <QByteArray>
#include <QDir>

#include <cstdio>

#include <unistd.h>

namespace {

const char programName[] = "pictoloom-render";
constexpr int barWidth = 40;

} // namespace

int failWith(int code, const QString &message)
{
    QString line = message;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    std::fprintf(stderr, "%s: %s\n", programName, line.toUtf8().constData());
    return code;
}

QString commandLineFailure(const RenderResult &result, const QString &painting,
                           const QString &stdlib)
{
    if (result.outcome != RenderResult::Outcome::ScriptError)
        return renderFailureText(result);
    const QString file = QDir::toNativeSeparators(
        result.errorSource == RenderResult::ErrorSource::Stdlib ? stdlib : painting);
    if (result.errorLine > 0)
        return QStringLiteral("%1:%2: %3").arg(file).arg(result.errorLine).arg(result.errorText);
    return QStringLiteral("%1: %2").arg(file, result.errorText);
}

void writePrintedLines(const QVector<ConsoleLine> &lines, ProgressBar *bar)
{
    if (lines.isEmpty())
        return;
    bar->clear();
    for (const ConsoleLine &line : lines) {
        const QByteArray text = line.text.toUtf8();
        std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
        std::fputc('\n', stdout);
    }
    std::fflush(stdout);
    bar->restore();
}

ProgressBar::ProgressBar()
    : shown(isatty(STDERR_FILENO))
{
}

ProgressBar::~ProgressBar()
{
    clear();
}

void ProgressBar::start(int count, const QString &unit)
{
    total = qMax(1, count);
    unitName = unit;
    draw(0);
}

void ProgressBar::draw(int done)
{
    if (!shown)
        return;
    lastDone = done;
    const int filled = int(qint64(done) * barWidth / total);
    QByteArray counted;
    if (!unitName.isEmpty())
        counted = QStringLiteral(" %1 / %2 %3").arg(done).arg(total).arg(unitName).toUtf8();
    std::fprintf(stderr, "\r[%s%s] %3d%%%s", QByteArray(filled, '#').constData(),
                 QByteArray(barWidth - filled, ' ').constData(), int(qint64(done) * 100 / total),
                 counted.constData());
    std::fflush(stderr);
    drawn = true;
}

void ProgressBar::clear()
{
    if (shown && drawn)
        std::fprintf(stderr, "\r%s\r", QByteArray(barWidth + 40, ' ').constData());
    drawn = false;
}

void ProgressBar::restore()
{
    if (shown && !drawn && lastDone >= 0)
        draw(lastDone);
}
