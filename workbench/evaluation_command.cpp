#include "workbench/evaluation_command.h"

#include "description/picture_fit.h"

#include <QRegularExpression>

namespace {

// Words the shell takes as they are stay bare; others are single-quoted.
QString quoted(const QString &word)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./:=,+@%-]+$"));
    if (plain.match(word).hasMatch())
        return word;
    QString inner = word;
    inner.replace(QLatin1Char('\''), QLatin1String("'\\''"));
    return QLatin1Char('\'') + inner + QLatin1Char('\'');
}

QString address(BoardType type, std::uint32_t index)
{
    return QStringLiteral("%1:%2").arg(std::uint32_t(type)).arg(index);
}

} // namespace

QStringList evaluationArguments(const EvaluationSetting &s)
{
    QStringList arguments{QStringLiteral("vrax-run"), QStringLiteral("-b"),
                          address(s.board.boardType, s.board.boardIndex)};
    if (s.board.parallelCount > 0)
        arguments << QStringLiteral("--parallel");
    if (s.comparing)
        arguments << QStringLiteral("--compare-with") << QStringLiteral("0");
    arguments << QStringLiteral("--dataset") << s.choice.path;
    if (!s.choice.images.isEmpty())
        arguments << QStringLiteral("--images") << s.choice.images;
    if (!s.choice.classMap.isEmpty())
        arguments << QStringLiteral("--class-map") << s.choice.classMap;
    arguments << QStringLiteral("--conf") << QString::number(s.choice.confidence);
    if (s.fit)
        arguments << QStringLiteral("--resize") << QString::fromLatin1(pictureFitName(*s.fit));
    if (!s.jsonPath.isEmpty())
        arguments << QStringLiteral("--json") << s.jsonPath;
    arguments << s.description;
    return arguments;
}

QString evaluationCommandLine(const EvaluationSetting &setting)
{
    QStringList words;
    for (const char *name : {"VRAX_BOARDS", "VRAX_SIM_PRECISION", "VRAX_SIM_BOARD_TIME"})
        if (qEnvironmentVariableIsSet(name))
            words << QString::fromLatin1(name) + QLatin1Char('=') + quoted(qEnvironmentVariable(name));
    for (const QString &argument : evaluationArguments(setting))
        words << quoted(argument);
    return words.join(QLatin1Char(' '));
}
