// The board selection dialog against the fake runtime, whose boards the test sets.
#include "app/open_board_dialog.h"
#include "accel/fake_runtime.h"
#include "support/modal_answer.h"

#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QtTest>

#include <array>
#include <optional>
#include <utility>

namespace {

// What the user does in the dialog, in this order.
struct Actions
{
    int clickRow = -1; // -1: keep the initial row
    bool toggleParallel = false;
    bool blink = false;
    bool accept = true; // Ok, else Cancel
};

// What the dialog showed before the actions.
struct Shown
{
    QString title;
    QStringList rows;
    int checkedRow = -1;
    bool blinkEnabled = false;
    bool parallelChecked = false;
    bool fixedSize = false;
    bool blinkEnabledAfterClick = false;
};

// Clicks a radio button or check box on its indicator: only the indicator and
// the text react, not the blank rest of the row.
void clickIndicator(QAbstractButton *button)
{
    QStyleOptionButton option;
    option.initFrom(button);
    const QStyle::SubElement indicator = qobject_cast<QRadioButton *>(button)
                                             ? QStyle::SE_RadioButtonIndicator
                                             : QStyle::SE_CheckBoxIndicator;
    const QRect rect = button->style()->subElementRect(indicator, &option, button);
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, rect.center());
}

using Choice = QVector<uint>; // type, index, parallelCount

struct Session
{
    explicit Session(const Choice &stored = {0, 0, 0})
        : boardType(BoardType(stored[0])), boardIndex(stored[1]), parallelCount(stored[2])
    {
    }

    std::vector<RuntimeHandle> sessions;
    BoardType boardType = BoardType::Simulator;
    std::uint32_t boardIndex = 0;
    std::uint32_t parallelCount = 0;
    bool chosen = false;
    std::optional<QString> blinkError;
    Shown shown;

    // Runs chooseBoard while the answer plays the actions on the modal dialog.
    void choose(OpenBoardDialog &dialog, const Actions &actions)
    {
        answerNextModal([this, actions](QWidget *modal) {
            const QList<QRadioButton *> radios = modal->findChildren<QRadioButton *>();
            auto *parallel = modal->findChild<QCheckBox *>();
            QPushButton *blink = buttonNamed(modal, QStringLiteral("Blink"));
            shown.title = modal->windowTitle();
            for (int row = 0; row < radios.size(); ++row) {
                shown.rows << radios[row]->text();
                if (radios[row]->isChecked())
                    shown.checkedRow = row;
            }
            shown.blinkEnabled = blink && blink->isEnabled();
            shown.parallelChecked = parallel && parallel->isChecked();
            shown.fixedSize = modal->minimumSize() == modal->maximumSize();

            if (actions.clickRow >= 0 && actions.clickRow < radios.size())
                clickIndicator(radios[actions.clickRow]);
            shown.blinkEnabledAfterClick = blink && blink->isEnabled();
            if (actions.toggleParallel && parallel)
                clickIndicator(parallel);
            if (actions.blink && blink)
                QTest::mouseClick(blink, Qt::LeftButton);
            // A failed Blink has closed the dialog already.
            if (modal->isVisible())
                QTest::mouseClick(buttonNamed(modal, actions.accept ? QStringLiteral("Ok")
                                                                    : QStringLiteral("Cancel")),
                                  Qt::LeftButton);
        });
        try {
            chosen = dialog.chooseBoard(sessions, boardType, boardIndex, parallelCount);
        } catch (const BlinkError &error) {
            blinkError = QString::fromUtf8(error.what());
        }
    }
};

void setCounts(const QVector<uint> &counts)
{
    resetFakeRuntime();
    for (int type = 1; type < counts.size() && type < 8; ++type)
        fakeRuntime().boardCounts[std::size_t(type)] = counts[type];
}

// The boards asked to blink, as (type, index).
QVector<QPair<uint, uint>> blinks()
{
    QVector<QPair<uint, uint>> result;
    for (const FakeRuntimeCall &call : fakeRuntime().callsOf("VRAX_Blink"))
        result.append({call.value, call.unit});
    return result;
}

QVector<uint> destroyedHandles()
{
    QVector<uint> handles;
    for (const FakeRuntimeCall &call : fakeRuntime().callsOf("VRAX_Destroy"))
        handles.append(call.handle);
    return handles;
}

} // namespace

class OpenBoardDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void rowsListEveryBoard_data();
    void rowsListEveryBoard();
    void choiceIsStoredAndSessionsFollowIt_data();
    void choiceIsStoredAndSessionsFollowIt();
    void blinkClosesTheSessions_data();
    void blinkClosesTheSessions();
};

void OpenBoardDialogTest::rowsListEveryBoard_data()
{
    QTest::addColumn<QVector<uint>>("counts"); // index = type, [0] unused
    QTest::addColumn<Choice>("stored");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<int>("checkedRow");
    QTest::addColumn<bool>("blinkEnabled");
    QTest::addColumn<bool>("parallelChecked");
    QTest::addColumn<QVector<Choice>>("rowChoices"); // type and index of each id

    QTest::newRow("no boards") << QVector<uint>{0, 0, 0, 0, 0, 0, 0, 0} << Choice{0, 0, 0}
                               << QStringList{"0. Simulator"} << 0 << false << false
                               << QVector<Choice>{{0, 0}};
    QTest::newRow("two TK301.02 and a Wisp")
        << QVector<uint>{0, 2, 0, 1, 0, 0, 0, 0} << Choice{3, 0, 1}
        << QStringList{"0. Simulator", "1. TK301.02", "2. TK301.02", "3. Wisp"} << 3 << true << true
        << QVector<Choice>{{0, 0}, {1, 0}, {1, 1}, {3, 0}};
    QTest::newRow("one of each type, second TK307.04 stored")
        << QVector<uint>{0, 1, 2, 1, 1, 1, 1, 1} << Choice{2, 1, 0}
        << QStringList{"0. Simulator", "1. TK301.02", "2. TK307.04", "3. TK307.04", "4. Wisp",
                       "5. Slab", "6. Tier", "7. Rack", "8. Bolt"}
        << 3 << true << false
        << QVector<Choice>{{0, 0}, {1, 0}, {2, 0}, {2, 1}, {3, 0}, {4, 0}, {5, 0}, {6, 0}, {7, 0}};
    QTest::newRow("vanished TK307.04 falls back to the simulator")
        << QVector<uint>{0, 0, 1, 0, 0, 0, 0, 0} << Choice{2, 1, 0}
        << QStringList{"0. Simulator", "1. TK307.04"} << 0 << false << false
        << QVector<Choice>{{0, 0}, {2, 0}};
}

void OpenBoardDialogTest::rowsListEveryBoard()
{
    QFETCH(QVector<uint>, counts);
    QFETCH(Choice, stored);
    QFETCH(QStringList, rows);
    QFETCH(int, checkedRow);
    QFETCH(bool, blinkEnabled);
    QFETCH(bool, parallelChecked);
    QFETCH(QVector<Choice>, rowChoices);

    setCounts(counts);
    Session session(stored);
    OpenBoardDialog dialog;
    session.choose(dialog, Actions{-1, false, false, false});

    QVERIFY(!session.chosen);
    QCOMPARE(session.shown.title, QStringLiteral("Open Board Dialog"));
    QCOMPARE(session.shown.rows, rows);
    QCOMPARE(session.shown.checkedRow, checkedRow);
    QCOMPARE(session.shown.blinkEnabled, blinkEnabled);
    QCOMPARE(session.shown.parallelChecked, parallelChecked);
    QVERIFY(session.shown.fixedSize);
    for (int id = 0; id < rowChoices.size(); ++id) {
        QCOMPARE(uint(dialog.boardTypeOfId(std::uint32_t(id))), rowChoices[id][0]);
        QCOMPARE(uint(dialog.boardIndexOfId(std::uint32_t(id))), rowChoices[id][1]);
    }
    // The checked row is what stays stored after Cancel.
    QCOMPARE(uint(session.boardType), rowChoices[checkedRow][0]);
    QCOMPARE(session.boardIndex, rowChoices[checkedRow][1]);
    QCOMPARE(session.parallelCount, stored[2]);
    QVERIFY(blinks().isEmpty());
}

void OpenBoardDialogTest::choiceIsStoredAndSessionsFollowIt_data()
{
    QTest::addColumn<QVector<uint>>("counts");
    QTest::addColumn<Choice>("stored");
    QTest::addColumn<int>("clickRow");
    QTest::addColumn<bool>("toggleParallel");
    QTest::addColumn<bool>("accept");
    QTest::addColumn<bool>("chosen");
    QTest::addColumn<Choice>("expected");
    QTest::addColumn<bool>("sessionsClosed");

    const QVector<uint> boards{0, 2, 0, 1, 0, 0, 0, 0}; // rows: sim, TK301.02 ×2, Wisp
    QTest::newRow("Wisp row") << boards << Choice{0, 0, 0} << 3 << false << true << true
                              << Choice{3, 0, 0} << true;
    QTest::newRow("second TK301.02") << boards << Choice{0, 0, 0} << 2 << false << true << true
                                     << Choice{1, 1, 0} << true;
    QTest::newRow("TK301.02 in parallel") << boards << Choice{0, 0, 0} << 1 << true << true << true
                                          << Choice{1, 0, 2} << true;
    QTest::newRow("simulator in parallel") << boards << Choice{3, 0, 0} << 0 << true << true << true
                                           << Choice{0, 0, 1} << true;
    QTest::newRow("same choice keeps sessions") << boards << Choice{1, 1, 0} << 2 << false << true
                                                << true << Choice{1, 1, 0} << false;
    QTest::newRow("toggled parallel closes sessions")
        << boards << Choice{1, 1, 0} << -1 << true << true << true << Choice{1, 1, 2} << true;
    QTest::newRow("cancel keeps everything") << boards << Choice{1, 1, 0} << 3 << true << false
                                             << false << Choice{1, 1, 0} << false;
    QTest::newRow("vanished board, cancel") << QVector<uint>{0, 0, 1, 0, 0, 0, 0, 0}
                                            << Choice{2, 1, 0} << -1 << false << false << true
                                            << Choice{0, 0, 0} << true;
}

void OpenBoardDialogTest::choiceIsStoredAndSessionsFollowIt()
{
    QFETCH(QVector<uint>, counts);
    QFETCH(Choice, stored);
    QFETCH(int, clickRow);
    QFETCH(bool, toggleParallel);
    QFETCH(bool, accept);
    QFETCH(bool, chosen);
    QFETCH(Choice, expected);
    QFETCH(bool, sessionsClosed);

    for (bool withSessions : {true, false}) {
        setCounts(counts);
        Session session(stored);
        if (withSessions)
            session.sessions = {11, 12};
        OpenBoardDialog dialog;
        session.choose(dialog, Actions{clickRow, toggleParallel, false, accept});

        // Without sessions, only an accepted dialog counts as a choice.
        QCOMPARE(session.chosen, withSessions ? chosen : accept);
        QCOMPARE(uint(session.boardType), expected[0]);
        QCOMPARE(session.boardIndex, expected[1]);
        QCOMPARE(session.parallelCount, expected[2]);
        QCOMPARE(session.shown.blinkEnabledAfterClick, expected[0] != 0); // the simulator does not blink
        if (withSessions && sessionsClosed) {
            QCOMPARE(destroyedHandles(), (QVector<uint>{11, 12}));
            QVERIFY(session.sessions.empty());
        } else {
            QVERIFY(destroyedHandles().isEmpty());
            QCOMPARE(session.sessions.size(), withSessions ? std::size_t(2) : std::size_t(0));
        }
        QVERIFY(!session.blinkError);
    }
}

void OpenBoardDialogTest::blinkClosesTheSessions_data()
{
    QTest::addColumn<int>("blinkResult");
    QTest::addColumn<bool>("accept");
    QTest::addColumn<bool>("chosen");
    QTest::addColumn<QString>("error");
    QTest::addColumn<Choice>("expected");

    QTest::newRow("blink, then Cancel") << 0 << false << true << QString() << Choice{3, 0, 0};
    QTest::newRow("blink, then Ok") << 0 << true << true << QString() << Choice{1, 1, 0};
    QTest::newRow("blink fails") << int(VRAX_RESULT_NO_BOARD) << true << false
                                 << QStringLiteral("VRAX_RESULT_NO_BOARD") << Choice{3, 0, 0};
    QTest::newRow("blink fails unknown") << int(VRAX_RESULT_UNKNOWN_ERROR) << false << false
                                         << QStringLiteral("VRAX_RESULT_UNKNOWN_ERROR")
                                         << Choice{3, 0, 0};
}

void OpenBoardDialogTest::blinkClosesTheSessions()
{
    QFETCH(int, blinkResult);
    QFETCH(bool, accept);
    QFETCH(bool, chosen);
    QFETCH(QString, error);
    QFETCH(Choice, expected);

    setCounts({0, 2, 0, 1, 0, 0, 0, 0});
    if (blinkResult != VRAX_RESULT_OK)
        fakeRuntime().fail("VRAX_Blink", blinkResult);
    Session session({3, 0, 0});
    session.sessions = {5, 6, 7};
    OpenBoardDialog dialog;
    session.choose(dialog, Actions{2, false, true, accept});

    QCOMPARE(blinks(), (QVector<QPair<uint, uint>>{{1, 1}}));
    QCOMPARE(destroyedHandles(), (QVector<uint>{5, 6, 7}));
    QVERIFY(session.sessions.empty());
    QCOMPARE(session.blinkError.value_or(QString()), error);
    if (error.isEmpty())
        QCOMPARE(session.chosen, chosen);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(uint(session.boardType), expected[0]);
    QCOMPARE(session.boardIndex, expected[1]);
    QCOMPARE(session.parallelCount, expected[2]);
}

QTEST_MAIN(OpenBoardDialogTest)
#include "open_board_dialog_test.moc"
