// vrax-eval: the accuracy of detections in the COCO results format.
#include "evaluation/eval_command.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    return runEvalCommand(arguments, stdout, stderr);
}
