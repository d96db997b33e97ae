#include "support/modal_answer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <memory>

void answerNextModal(std::function<void(QWidget *)> answer, int timeoutMs)
{
    auto *timer = new QTimer;
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(timer, &QTimer::timeout, [timer, clock, answer = std::move(answer), timeoutMs] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal && clock->elapsed() < timeoutMs)
            return;
        timer->stop();
        timer->deleteLater();
        if (modal)
            answer(modal);
    });
    timer->start(5);
}

void answerNextFileDialog(const QStringList &paths)
{
    answerNextModal([paths](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        if (!dialog) {
            modal->close();
            return;
        }
        if (paths.isEmpty()) {
            dialog->reject();
            return;
        }
        // The file name field takes several names when each is quoted.
        QString typed;
        for (const QString &path : paths)
            typed += QLatin1Char('"') + path + QStringLiteral("\" ");
        auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        edit->setText(paths.size() == 1 ? paths.front() : typed.trimmed());
        QMetaObject::invokeMethod(dialog, "accept");
    });
}

void acceptNextMessageBox(QString *title, QString *text)
{
    answerNextModal([title, text](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (!box) {
            modal->close();
            return;
        }
        if (title)
            *title = box->windowTitle();
        if (text)
            *text = box->text();
        box->accept();
    });
}
