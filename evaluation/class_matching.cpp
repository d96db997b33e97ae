#include "evaluation/class_matching.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QRegularExpression>

#include <stdexcept>

QString comparableName(const std::string &name)
{
    QString folded = QString::fromStdString(name).toCaseFolded();
    folded.remove(QRegularExpression(QStringLiteral("\\s")));
    return folded;
}

ClassMapping readClassMap(const QString &path, const std::vector<std::string> &labels)
{
    QFile file(path);
    const std::string name = QDir::toNativeSeparators(path).toStdString();
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        throw std::runtime_error("Cannot read " + name + ": " + file.errorString().toStdString());
    QHash<QString, bool> known;
    for (const std::string &label : labels)
        known.insert(comparableName(label), true);
    ClassMapping mapping;
    int line = 0;
    while (!file.atEnd()) {
        ++line;
        QString text = QString::fromUtf8(file.readLine());
        const int comment = text.indexOf('#');
        if (comment >= 0)
            text.truncate(comment);
        text = text.trimmed();
        if (text.isEmpty())
            continue;
        const int equals = text.indexOf('=');
        const QString from = text.left(equals).trimmed();
        const QString to = text.mid(equals + 1).trimmed();
        if (equals < 0 || from.isEmpty() || to.isEmpty())
            throw std::runtime_error(name + ":" + std::to_string(line)
                                     + ": expected \"data set name = label\", not \"" + text.toStdString() + "\"");
        if (!known.contains(comparableName(to.toStdString())))
            throw std::runtime_error(name + ":" + std::to_string(line) + ": the description has no label \""
                                     + to.toStdString() + "\"");
        mapping.emplace_back(from.toStdString(), to.toStdString());
    }
    return mapping;
}

namespace {

std::string listed(const std::vector<std::string> &names)
{
    std::string text;
    for (const std::string &name : names)
        text += (text.empty() ? "\"" : ", \"") + name + "\"";
    return text;
}

} // namespace

ClassMatching matchClasses(const std::vector<std::string> &classes, const std::vector<std::string> &labels,
                           const ClassMapping &mapping)
{
    ClassMatching matching;
    matching.labelOfClass.assign(classes.size(), -1);
    matching.classOfLabel.assign(labels.size(), -1);
    QHash<QString, int> labelIndex;
    for (int i = int(labels.size()) - 1; i >= 0; --i)
        labelIndex.insert(comparableName(labels[std::size_t(i)]), i); // the first of equal names wins
    QHash<QString, QString> mapped;
    for (const auto &[from, to] : mapping)
        mapped.insert(comparableName(from), comparableName(to));

    for (std::size_t k = 0; k < classes.size(); ++k) {
        const QString name = comparableName(classes[k]);
        const auto found = labelIndex.constFind(mapped.value(name, name));
        if (found == labelIndex.constEnd() || matching.classOfLabel[std::size_t(*found)] >= 0)
            continue;
        matching.labelOfClass[k] = *found;
        matching.classOfLabel[std::size_t(*found)] = int(k);
    }

    std::vector<std::string> lostClasses, lostLabels;
    for (std::size_t k = 0; k < classes.size(); ++k)
        if (matching.labelOfClass[k] < 0)
            lostClasses.push_back(classes[k]);
    for (std::size_t i = 0; i < labels.size(); ++i)
        if (matching.classOfLabel[i] < 0)
            lostLabels.push_back(labels[i]);
    if (!lostClasses.empty() || !lostLabels.empty()) {
        matching.warning = "names that match nothing (case and spaces ignored; --class-map FILE pairs them):";
        if (!lostClasses.empty())
            matching.warning += " data set classes " + listed(lostClasses) + " are not evaluated;";
        if (!lostLabels.empty())
            matching.warning += " the detections of labels " + listed(lostLabels) + " are dropped;";
        matching.warning.back() = '.';
    }
    return matching;
}
