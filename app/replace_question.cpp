#include "app/replace_question.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>

bool mayReplace(QWidget *parent, const QString &title, const QStringList &files)
{
    QStringList existing;
    for (const QString &file : files)
        if (QFileInfo::exists(file))
            existing << QDir::toNativeSeparators(file);
    if (existing.isEmpty())
        return true;
    const QString question =
        existing.size() == 1
            ? QCoreApplication::translate("VRAXGUI", "%1 already exists.\nDo you want to replace it?")
                  .arg(existing.front())
            : QCoreApplication::translate("VRAXGUI", "These files already exist:\n%1\nDo you want to replace them?")
                  .arg(existing.join(QLatin1Char('\n')));
    return QMessageBox::question(parent, title, question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
           == QMessageBox::Yes;
}
