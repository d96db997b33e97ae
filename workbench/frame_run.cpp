#include "workbench/frame_run.h"

#include "accel/result_check.h"
#include "measuring/reference_run.h"

#include <exception>
#include <utility>

namespace {

FramePipeline::Interpret interpreterOf(const OpenedModel &model)
{
    // Copies: the run's board thread must not share them with the caller.
    return [dims = model.modelDims, description = model.description](Frame &frame) {
        frame.result = decodeFrameResult(frame.outputs, dims, description);
    };
}

FramePipeline::Deliver deliveryOf(ReferenceRun *reference, FrameRun::Consumer consumer)
{
    return [reference, consumer = std::move(consumer)](FramePtr frame) {
        if (reference) {
            try {
                reference->compare(frame->picture.picture, frame->tensor(), frame->outputs, frame->result);
            } catch (const std::exception &error) {
                std::throw_with_nested(
                    ComparisonFailure("The simulator failed on the comparison: " + callFailureText(error)));
            }
        }
        if (consumer)
            consumer(std::move(frame));
    };
}

} // namespace

FrameRun::FrameRun(const FramePipeline::Boards &boards, FrameSource &source, const OpenedModel &model,
                   ReferenceRun *reference, Consumer consumer)
    : pipeline(boards, source, model.modelDims, interpreterOf(model), deliveryOf(reference, std::move(consumer)))
{
    pipeline.onFinished = [this] {
        if (onFinished)
            onFinished();
    };
}
