# Sourced by the benchmark scripts: writes the description of a yolo-fastest
# COCO detector of the shared models ("yolo3", the cfg's anchors).
#   write_detector_description MODELS_DIR MODEL FILE   (MODEL: yolo-fastest-1.1, yolo-fastest-1.1-xl)
write_detector_description() {
    labels=$(cat "$1/$2.names")
    cat >"$3" <<XML
<vrax_nn_description><input><model>$1/$2.cfg</model><format>rgb</format>
<divider>255</divider><adder>0</adder></input><output><neural_network>yolo3</neural_network>
<labels>$labels</labels><yolo_anchors>
12
18
37
49
52
132
115
73
119
199
242
238
</yolo_anchors>
<yolo_confidence_threshold>0.25</yolo_confidence_threshold><yolo_iou_threshold>0.45</yolo_iou_threshold>
</output></vrax_nn_description>
XML
}
