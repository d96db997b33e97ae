#include "workbench/layer_watch.h"

#include "accel/result_check.h"
#include "measuring/reference_run.h"

void LayerWatch::enableTimes(bool on)
{
    if (sessions.empty() || !reason.isEmpty())
        return;
    try {
        enableLayerTimes(sessions, on);
    } catch (const std::exception &error) {
        reason = QString::fromUtf8(callFailureText(error).c_str());
    }
}

void LayerWatch::setWatching(bool on)
{
    if (on == watching)
        return;
    watching = on;
    enableTimes(on);
}

void LayerWatch::descriptionOpened(const std::vector<RuntimeHandle> &opened, const std::string &path,
                                   const BoardChoice &choice)
{
    sessions = opened;
    descriptionPath = path;
    board = choice;
    current = NetworkProfile();
    compared.reset();
    reason.clear();
    try {
        current = readNetworkProfile(sessions);
    } catch (const std::exception &error) {
        reason = QString::fromUtf8(callFailureText(error).c_str());
    }
    if (watching)
        enableTimes(true);
}

void LayerWatch::descriptionClosed()
{
    sessions.clear();
    current = NetworkProfile();
    compared.reset();
    reason = QStringLiteral("No NN description is open");
}

void LayerWatch::runStarting(ReferenceRun *reference, bool autoRun)
{
    if (watching && autoRun)
        enableTimes(true);
    if (!reference)
        return;
    if (!watching || !reason.isEmpty())
        reference->setLayerComparison(nullptr);
    else if (!reference->layerComparison())
        reference->setLayerComparison(std::make_shared<LayerComparison>(
            descriptionPath, board, BoardChoice{BoardType::Simulator, 0, 0}));
}

void LayerWatch::refresh(const ReferenceRun *reference)
{
    if (sessions.empty() || !reason.isEmpty())
        return;
    try {
        current = readNetworkProfile(sessions);
    } catch (const RuntimeCallError &) {
        // The layer list changed between two calls; the next refresh reads it.
    } catch (const std::exception &error) {
        reason = QString::fromUtf8(callFailureText(error).c_str());
    }
    compared.reset();
    if (watching && reference && reference->layerComparison())
        compared = reference->layerComparison()->report();
}
