#include "support/modal_answer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <QtTest>

#include <memory>

namespace {

// The test function and data row running now; an answer belongs to the one
// that asked for it (its captures point into that function's frame).
QString currentTest()
{
    const char *function = QTest::currentTestFunction();
    const char *tag = QTest::currentDataTag();
    return QString::fromUtf8(function ? function : "") + QLatin1Char('/') + QString::fromUtf8(tag ? tag : "");
}

// Polls for an active modal widget that answer accepts (returns true for);
// gives up after timeoutMs, or when the test that asked has ended.
void answerModalWhen(std::function<bool(QWidget *)> answer, int timeoutMs)
{
    auto *timer = new QTimer;
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    const QString askedBy = currentTest();
    QObject::connect(timer, &QTimer::timeout, [timer, clock, answer = std::move(answer), timeoutMs, askedBy] {
        const bool expired = clock->elapsed() >= timeoutMs || currentTest() != askedBy;
        QWidget *modal = QApplication::activeModalWidget();
        if (expired || (modal && answer(modal))) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start(5);
}

} // namespace

void answerNextModal(std::function<void(QWidget *)> answer, int timeoutMs)
{
    answerModalWhen(
        [answer = std::move(answer)](QWidget *modal) {
            answer(modal);
            return true;
        },
        timeoutMs);
}

void answerNextFileDialog(const QStringList &paths)
{
    answerModalWhen(
        [paths](QWidget *modal) {
            auto *dialog = qobject_cast<QFileDialog *>(modal);
            if (!dialog)
                return false;
            if (paths.isEmpty()) {
                dialog->reject();
                return true;
            }
            // The file name field takes several names when each is quoted.
            QString typed;
            for (const QString &path : paths)
                typed += QLatin1Char('"') + path + QStringLiteral("\" ");
            auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            edit->setText(paths.size() == 1 ? paths.front() : typed.trimmed());
            QMetaObject::invokeMethod(dialog, "accept");
            return true;
        },
        60000);
}

void acceptNextMessageBox(QString *title, QString *text)
{
    answerModalWhen(
        [title, text](QWidget *modal) {
            auto *box = qobject_cast<QMessageBox *>(modal);
            if (!box)
                return false;
            if (title)
                *title = box->windowTitle();
            if (text)
                *text = box->text();
            box->accept();
            return true;
        },
        60000);
}

void answerNextMessageBox(int button, QString *text)
{
    answerModalWhen(
        [button, text](QWidget *modal) {
            auto *box = qobject_cast<QMessageBox *>(modal);
            if (!box)
                return false;
            if (text)
                *text = box->text();
            box->button(QMessageBox::StandardButton(button))->click();
            return true;
        },
        60000);
}

QPushButton *buttonNamed(QWidget *dialog, const QString &text)
{
    for (QPushButton *button : dialog->findChildren<QPushButton *>())
        if (button->text() == text)
            return button;
    return nullptr;
}
