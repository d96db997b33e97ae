// Descriptions of the real third-party networks, for the window tests that
// run them (they skip when the shared folder is missing).
#pragma once

#include "support/shared_data.h"
#include "support/test_files.h"

#include <QFile>
#include <QString>

inline QString sharedModel(const char *name)
{
    return QString::fromStdString(sharedModelsDir()) + "/" + name;
}

inline QString sharedPicture(const char *name)
{
    return QString::fromStdString(sharedPicturesDir()) + "/" + name;
}

inline QString labelsOf(const char *namesFile)
{
    QFile file(sharedModel(namesFile));
    file.open(QIODevice::ReadOnly);
    return QString::fromUtf8(file.readAll()).trimmed();
}

// A COCO detector of the yolo-fastest family, e.g. "yolo-fastest-1.1".
inline QString yoloFastestDescription(const QString &name)
{
    return QString("<input><model>%1</model><format>rgb</format><divider>255</divider><adder>0</adder></input>"
                   "<output><neural_network>yolo3</neural_network><labels>%2</labels><yolo_anchors>12\n18\n37\n"
                   "49\n52\n132\n115\n73\n119\n199\n242\n238</yolo_anchors><yolo_confidence_threshold>0.25"
                   "</yolo_confidence_threshold><yolo_iou_threshold>0.45</yolo_iou_threshold></output>")
        .arg(sharedModel(qPrintable(name + ".cfg")), labelsOf(qPrintable(name + ".names")));
}

inline QString expressionDescription()
{
    return QString("<input><model>%1</model><format>rgb</format><divider>255</divider><adder>-0.45</adder>"
                   "</input><output><neural_network>classifier</neural_network><labels>%2</labels></output>")
        .arg(sharedModel("face_expression_112.onnx"), labelsOf("face_expression_112.names"));
}

inline QString selfieDescription(const QString &format)
{
    return QString("<input><model>%1</model><format>%2</format><divider>255</divider><adder>0</adder></input>"
                   "<output><neural_network>unet</neural_network></output>")
        .arg(sharedModel("selfie_segmentation_256.onnx"), format);
}

// Writes the body inside the root element; returns the path.
inline QString writeDescription(const QString &path, const QString &body)
{
    return writeTestFile(path, ("<vrax_nn_description>" + body + "</vrax_nn_description>").toUtf8());
}
