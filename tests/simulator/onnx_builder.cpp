#include "onnx_builder.h"

#include <functional>

namespace {

void setShape(onnx::ValueInfoProto &value, const std::string &name, const std::vector<std::int64_t> &shape,
              int elementType)
{
    value.set_name(name);
    onnx::TypeProto_Tensor *tensor = value.mutable_type()->mutable_tensor_type();
    tensor->set_elem_type(elementType);
    onnx::TensorShapeProto *tensorShape = tensor->mutable_shape();
    for (std::int64_t dim : shape) {
        onnx::TensorShapeProto_Dimension *entry = tensorShape->add_dim();
        if (dim == symbolicDim)
            entry->set_dim_param("N");
        else if (dim != unknownDim)
            entry->set_dim_value(dim);
    }
}

// The serialised model with change applied to the named initializer.
std::string withInitializerChanged(const std::string &onnx, const std::string &initializer,
                                   const std::function<void(onnx::TensorProto &)> &change)
{
    onnx::ModelProto model;
    model.ParseFromString(onnx);
    for (onnx::TensorProto &tensor : *model.mutable_graph()->mutable_initializer()) {
        if (tensor.name() == initializer)
            change(tensor);
    }
    return model.SerializeAsString();
}

} // namespace

OnnxBuilder::OnnxBuilder()
{
    model.set_ir_version(6);
    model.set_producer_name("vrax simulator tests");
    onnx::OperatorSetIdProto *opset = model.add_opset_import();
    opset->set_domain("");
    opset->set_version(11);
    model.mutable_graph()->set_name("test");
}

OnnxBuilder &OnnxBuilder::input(const std::string &name, const std::vector<std::int64_t> &shape,
                                int elementType)
{
    setShape(*model.mutable_graph()->add_input(), name, shape, elementType);
    return *this;
}

OnnxBuilder &OnnxBuilder::weights(const std::string &name, const std::vector<std::int64_t> &shape,
                                  bool alsoGraphInput)
{
    onnx::TensorProto *tensor = model.mutable_graph()->add_initializer();
    tensor->set_name(name);
    tensor->set_data_type(onnx::TensorProto_DataType_FLOAT);
    std::int64_t count = 1;
    for (std::int64_t dim : shape) {
        tensor->add_dims(dim);
        count *= dim;
    }
    for (std::int64_t i = 0; i < count; ++i) {
        seed = seed * 1103515245u + 12345u;
        tensor->add_float_data(static_cast<float>((seed >> 8) % 2001) / 2000.0f - 0.5f);
    }
    if (alsoGraphInput)
        setShape(*model.mutable_graph()->add_input(), name, shape, onnx::TensorProto_DataType_FLOAT);
    return *this;
}

OnnxBuilder &OnnxBuilder::node(const std::string &opType, const std::vector<std::string> &inputs,
                               const std::vector<std::string> &outputs, const IntAttributes &attributes,
                               const std::string &name)
{
    onnx::NodeProto *node = model.mutable_graph()->add_node();
    node->set_op_type(opType);
    node->set_name(name);
    for (const std::string &input : inputs)
        node->add_input(input);
    for (const std::string &output : outputs)
        node->add_output(output);
    for (const auto &[attributeName, values] : attributes) {
        onnx::AttributeProto *attribute = node->add_attribute();
        attribute->set_name(attributeName);
        if (values.size() == 1) {
            attribute->set_type(onnx::AttributeProto_AttributeType_INT);
            attribute->set_i(values[0]);
        } else {
            attribute->set_type(onnx::AttributeProto_AttributeType_INTS);
            for (std::int64_t value : values)
                attribute->add_ints(value);
        }
    }
    return *this;
}

OnnxBuilder &OnnxBuilder::output(const std::string &name, const std::vector<std::int64_t> &shape)
{
    setShape(*model.mutable_graph()->add_output(), name, shape, onnx::TensorProto_DataType_FLOAT);
    return *this;
}

OnnxBuilder &OnnxBuilder::untypedOutput(const std::string &name)
{
    model.mutable_graph()->add_output()->set_name(name);
    return *this;
}

std::string withOneValueMissing(const std::string &onnx, const std::string &initializer)
{
    return withInitializerChanged(onnx, initializer, [](onnx::TensorProto &tensor) {
        if (tensor.float_data_size() > 0)
            tensor.mutable_float_data()->RemoveLast();
    });
}

std::string withValuesOfType(const std::string &onnx, const std::string &initializer, int dataType)
{
    return withInitializerChanged(onnx, initializer, [dataType](onnx::TensorProto &tensor) {
        tensor.clear_float_data();
        tensor.clear_raw_data();
        tensor.set_data_type(dataType);
    });
}
