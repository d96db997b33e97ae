// Answers the modal dialog that the code under test is about to open.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QPushButton;
class QWidget;

// Once a modal widget is active, calls answer with it (on the GUI thread).
// Polls every few milliseconds from a timer, for at most timeoutMs.
void answerNextModal(std::function<void(QWidget *)> answer, int timeoutMs = 60000);

// Answers the next file dialog with the given paths (one or several; none
// cancels). Other modal widgets are left alone.
void answerNextFileDialog(const QStringList &paths);

// Accepts the next message box and keeps its title and text. Other modal
// widgets are left alone.
void acceptNextMessageBox(QString *title = nullptr, QString *text = nullptr);

// Answers the next message box with its button (QMessageBox::Yes, No...)
// and keeps its text. Other modal widgets are left alone.
void answerNextMessageBox(int button, QString *text = nullptr);

// The dialog's push button with the given text, or null.
QPushButton *buttonNamed(QWidget *dialog, const QString &text);
