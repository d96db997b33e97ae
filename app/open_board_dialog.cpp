#include "app/open_board_dialog.h"

#include "accel/board_session.h"
#include "accel/result_check.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <optional>
#include <string>

OpenBoardDialog::OpenBoardDialog() = default;

OpenBoardDialog::~OpenBoardDialog() = default;

std::uint32_t OpenBoardDialog::boardsUpTo(std::uint32_t type)
{
    std::uint32_t boards = 0;
    for (std::uint32_t t = firstBoardType; t <= type; ++t)
        boards += boardCounts[t];
    return boards;
}

std::uint32_t OpenBoardDialog::idOf(BoardType type, std::uint32_t index)
{
    if (type == BoardType::Simulator)
        return 0;
    return 1 + boardsUpTo(std::uint32_t(type) - 1) + index;
}

BoardType OpenBoardDialog::boardTypeOfId(std::uint32_t id)
{
    for (std::uint32_t type = lastBoardType; type > firstBoardType; --type) {
        if (id > boardsUpTo(type - 1))
            return BoardType(type);
    }
    return id != 0 ? BoardType::TK301_02 : BoardType::Simulator;
}

std::uint32_t OpenBoardDialog::boardIndexOfId(std::uint32_t id)
{
    const BoardType type = boardTypeOfId(id);
    if (type == BoardType::Simulator)
        return 0;
    return id - 1 - boardsUpTo(std::uint32_t(type) - 1);
}

bool OpenBoardDialog::chooseBoard(std::vector<RuntimeHandle> &sessions, BoardType &boardType,
                                  std::uint32_t &boardIndex, std::uint32_t &parallelCount)
{
    const BoardType oldType = boardType;
    const std::uint32_t oldIndex = boardIndex;
    const std::uint32_t oldParallelCount = parallelCount;
    bool blinked = false;
    std::optional<std::string> blinkFailure;

    // Counted anew each time, so that boards attached or detached since are seen.
    boardCounts[std::uint32_t(BoardType::Simulator)] = 1;
    for (std::uint32_t type = firstBoardType; type <= lastBoardType; ++type) {
        boardCounts[type] = 0; // a failing call leaves no rows
        VRAX_GetBoardCount(type, &boardCounts[type]);
    }

    // A board that is no longer attached gives way to the simulator, at once.
    bool fellBack = false;
    if (boardType == BoardType::Simulator ? boardIndex != 0
                                          : boardIndex >= boardCounts[std::uint32_t(boardType)]) {
        boardType = BoardType::Simulator;
        boardIndex = 0;
        fellBack = true;
    }
    const std::uint32_t initialId = idOf(boardType, boardIndex);
    const std::uint32_t rowCount = 1 + boardsUpTo(lastBoardType);

    setWindowTitle(tr("Open Board Dialog"));
    auto *group = new QButtonGroup(this);

    auto *blinkButton = new QPushButton(tr("Blink"));
    blinkButton->setEnabled(false);
    connect(blinkButton, &QPushButton::clicked, this, [&, group] {
        // The sessions hold the board; they are closed whatever board blinks.
        destroySessions(sessions);
        const auto id = std::uint32_t(group->checkedId());
        try {
            checkRuntimeResult(VRAX_Blink(std::uint32_t(boardTypeOfId(id)), boardIndexOfId(id)),
                               "VRAX_Blink");
        } catch (const std::exception &error) {
            // Exceptions must not cross the toolkit's event loop: end the
            // dialog and report once exec() has returned.
            blinkFailure = error.what();
            reject();
            return;
        }
        blinked = true;
    });
    connect(group, &QButtonGroup::idClicked, blinkButton,
            [blinkButton](int id) { blinkButton->setEnabled(id != 0); });

    auto *okButton = new QPushButton(QStringLiteral("Ok"));
    auto *cancelButton = new QPushButton(QStringLiteral("Cancel"));
    connect(okButton, &QPushButton::released, this, &QDialog::accept);
    connect(cancelButton, &QPushButton::released, this, &QDialog::reject);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);

    auto *rows = new QVBoxLayout;
    for (std::uint32_t id = 0; id < rowCount; ++id) {
        const BoardType type = boardTypeOfId(id);
        auto *radio = new QRadioButton(
            QStringLiteral("%1. %2").arg(id).arg(QLatin1String(boardTypeName(type))));
        radio->setChecked(id == initialId);
        group->addButton(radio, int(id));
        rows->addWidget(radio);
        if (id == initialId && type != BoardType::Simulator)
            blinkButton->setEnabled(true);
    }
    auto *parallel = new QCheckBox(QStringLiteral("parallel"));
    parallel->setChecked(parallelCount != 0);
    rows->addWidget(parallel);
    rows->addWidget(blinkButton);
    rows->addLayout(buttons);
    rows->setSizeConstraint(QLayout::SetMinimumSize);
    setLayout(rows);
    setFixedSize(sizeHint());

    if (exec() != QDialog::Accepted) {
        if (blinkFailure)
            throw BlinkError(*blinkFailure);
        // Sessions opened on a board that has gone would be of no use.
        if (fellBack && !sessions.empty()) {
            destroySessions(sessions);
            return true;
        }
        return blinked;
    }

    const auto checkedId = std::uint32_t(group->checkedId());
    boardType = boardTypeOfId(checkedId);
    boardIndex = boardIndexOfId(checkedId);
    parallelCount = parallel->isChecked() ? boardCounts[std::uint32_t(boardType)] : 0;
    if (sessions.empty())
        return true;
    if (boardType == oldType && boardIndex == oldIndex && parallelCount == oldParallelCount)
        return true;
    destroySessions(sessions);
    return true;
}
