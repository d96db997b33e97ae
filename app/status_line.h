// The one-line summary in the status bar: board, description, picture and the
// two frame rates.
#pragma once

#include "accel/board_type.h"

#include <QLabel>
#include <QString>
#include <QStringList>

#include <cstdint>

struct StatusLineState
{
    BoardType boardType = BoardType::Simulator;
    std::uint32_t boardIndex = 0;
    bool everyBoardOfType = false; // opened in parallel
    QString descriptionPath; // empty: no description open
    QStringList pictureList; // empty: no pictures chosen
    QString picturePath;
    double frameTime = 0.0; // seconds per frame as the window measured it
    double boardFps = 0.0;  // frame rate the runtime reports
};

// For example "Board 0 (simulator), no description, no picture. 0.00 (0.00) fps.";
// the board is named as vrax-run names it ("Board 2:1 (TK307.04)", "Board 2:all (TK307.04)").
QString statusLineText(const StatusLineState &state);
// Its two parts: "Board 0 (simulator), no description, no picture. " and
// "0.00 (0.00) fps.".
QString statusLineFiles(const StatusLineState &state);
QString statusLineRates(const StatusLineState &state);
// What the two rates are, for the rates' tool tip.
QString statusLineRatesDefinition();
// The files part within width pixels of font: the folders of the
// description's and the picture's paths are shortened in their middle
// ("/home/…/pictures/a.png") as far as needed, their file names never,
// the rest of the text kept.
QString elidedStatusLineFiles(const StatusLineState &state, const QFontMetrics &metrics, int width);

// The status bar's text: the files part, elided to the room it is given, the
// whole line in its tool tip. It asks for no width of its own, so that the
// rates beside it are never cut.
class StatusFilesLabel : public QLabel
{
public:
    explicit StatusFilesLabel(QWidget *parent = nullptr);
    void setState(const StatusLineState &state);
    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void elide();
    StatusLineState state;
};
