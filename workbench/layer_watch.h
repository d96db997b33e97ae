// What the window's Layers dock shows, without widgets: the open
// description's layers on the board with their costs and, while watched,
// each layer's mean time per frame; while the workbench compares with the
// simulator, each layer's agreement with it. Watching costs the frames a
// little (the engine times each layer), and with the comparison a second
// run of each frame on the board and on the simulator with every layer kept.
// Everything here is called on the GUI thread.
#pragma once

#include "accel/board_session.h"
#include "measuring/layer_comparison.h"
#include "measuring/network_profile.h"

#include <QString>

#include <memory>
#include <optional>
#include <string>
#include <vector>

class ReferenceRun;

class LayerWatch
{
public:
    // Whether the layers are watched (the dock is shown): layer times are
    // gathered, and layers compared, only then.
    void setWatching(bool on);
    bool isWatching() const { return watching; }

    // The workbench's events.
    void descriptionOpened(const std::vector<RuntimeHandle> &sessions, const std::string &descriptionPath,
                           const BoardChoice &board);
    void descriptionClosed();
    // Before a run starts, idle: with a reference (null: no comparison) the
    // layers are compared too while watched; Run Auto starts the times anew.
    void runStarting(ReferenceRun *reference, bool autoRun);

    // Reads the times and the comparison again; the reference is the
    // workbench's (null: not comparing). Keeps the figures before when the
    // runtime cannot say just now (an int8 board switching to its quantised
    // layers).
    void refresh(const ReferenceRun *reference);

    const NetworkProfile &profile() const { return current; }
    // Layer by layer against the simulator, while comparing and watched.
    const std::optional<LayerComparisonReport> &comparison() const { return compared; }
    // Why there are no layers (no description, or "This board's runtime
    // gives no layer profile"); empty when there are.
    const QString &unavailable() const { return reason; }

private:
    void enableTimes(bool on);

    bool watching = false;
    std::vector<RuntimeHandle> sessions;
    std::string descriptionPath;
    BoardChoice board;
    NetworkProfile current;
    std::optional<LayerComparisonReport> compared;
    QString reason = QStringLiteral("No NN description is open");
};
