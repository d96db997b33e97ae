#include "workbench/frame_run.h"

#include "accel/result_check.h"
#include "measuring/reference_run.h"

#include <exception>
#include <utility>

namespace {

FramePipeline::Interpret interpreterOf(const OpenedModel &model, const SharedResultFilter *filter)
{
    // Copies: the run's board thread must not share them with the caller.
    return [dims = model.modelDims, description = model.description, filter](Frame &frame) {
        frame.result = filter ? decodeFilteredResult(frame.outputs, dims, description, filter->get())
                              : decodeFrameResult(frame.outputs, dims, description);
    };
}

FramePipeline::Deliver deliveryOf(ReferenceRun *reference, FrameRun::Consumer consumer,
                                  const SharedResultFilter *filter)
{
    return [reference, consumer = std::move(consumer), filter](FramePtr frame) {
        if (reference) {
            try {
                frame->reference = reference->compare(frame->picture.picture, frame->tensor(), frame->outputs,
                                                      frame->result, filter ? filter->get() : ResultFilter());
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
                   ReferenceRun *reference, Consumer consumer, const SharedResultFilter *filter)
    : pipeline(boards, source, model.modelDims, interpreterOf(model, filter),
               deliveryOf(reference, std::move(consumer), filter))
{
    pipeline.onFinished = [this] {
        if (onFinished)
            onFinished();
    };
}
