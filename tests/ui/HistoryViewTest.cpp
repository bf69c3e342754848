// The History tab and its rows: grouping by day, ratings, clearing, copying the report.

// First: the stores' signal header must come before Qt defines its keyword macros.
#include "SettingsTestSupport.h"

#include "ui/CorrectionRow.h"
#include "ui/HistoryView.h"
#include "ui/SystemColors.h"

#include "UiTestSupport.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QTextBlock>
#include <QTextDocument>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <map>

namespace kx::test {
namespace {

class HistoryViewTest : public ::testing::Test {
protected:
    void SetUp() override { bench.behavior.setTroubleshooting(true); }

    std::unique_ptr<HistoryView> makeView()
    {
        return std::make_unique<HistoryView>(bench.store, bench.behavior, [this] { return bench.actions.report; });
    }

    SettingsBench bench;
};

// Days run newest first as "Today", "Yesterday" and the date; within a day the newest record leads.
TEST_F(HistoryViewTest, GroupsByDayNewestFirst)
{
    bench.store.add(bench.correction("old", "ישן", 3));
    bench.store.add(bench.correction("ahrk", "אתמול", 1));
    bench.store.add(bench.correction("first", "ראשון", 0, std::chrono::minutes(1)));
    bench.store.add(bench.correction("second", "שני", 0));
    auto view = makeView();

    const QDate threeDaysAgo = QDate::currentDate().addDays(-3);
    EXPECT_EQ(view->sectionTitles(), (std::vector<QString>{"Today", "Yesterday", HistoryView::dayLabel(threeDaysAgo)}));
    EXPECT_FALSE(HistoryView::dayLabel(threeDaysAgo).contains("Today"));
    const auto rows = view->rows();
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_TRUE(rows[0]->wordsLabel()->text().contains("second"));
    EXPECT_TRUE(rows[1]->wordsLabel()->text().contains("first"));
    EXPECT_TRUE(rows[3]->wordsLabel()->text().contains("old"));
}

// Thumbs: up rates up, up again clears, down on an up-rated record rates down and counts a flag.
TEST_F(HistoryViewTest, ThumbsRateTheRecord)
{
    bench.store.add(bench.correction("akuo", "שלום", 0));
    auto view = makeView();
    const auto rating = [&] { return bench.store.records().front().rating; };

    view->rows()[0]->thumbUp()->click();
    settle();
    EXPECT_EQ(rating(), Rating::up);
    EXPECT_TRUE(view->rows()[0]->thumbUp()->isLit());
    EXPECT_FALSE(view->rows()[0]->thumbDown()->isLit());

    view->rows()[0]->thumbUp()->click();
    settle();
    EXPECT_EQ(rating(), Rating::none);

    view->rows()[0]->thumbUp()->click();
    settle();
    EXPECT_NE(view->tiles()[2]->tint(), SystemColors::red());
    view->rows()[0]->thumbDown()->click();
    settle();
    EXPECT_EQ(rating(), Rating::down);
    EXPECT_EQ(bench.store.lifetimeFlagged(), 1);
    EXPECT_EQ(view->tiles()[2]->value(), "1");
    EXPECT_EQ(view->tiles()[2]->tint(), SystemColors::red());
}

// Rating with the keyboard keeps the focus on the thumb pressed, in the rebuilt row, rather than
// letting it fall to the next widget (the window's tab bar).
TEST_F(HistoryViewTest, RatingKeepsTheFocusOnTheThumb)
{
    bench.store.add(bench.correction("akuo", "שלום", 0));
    bench.store.add(bench.correction("ghbdtn", "привет", 0));
    QWidget window;
    auto* tabs = new QPushButton("General", &window);
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(tabs);
    auto view = makeView();
    layout->addWidget(view.get());
    window.show();
    settle();
    CorrectionRow::Thumb* down = view->rows()[1]->thumbDown();
    const Uuid id = view->rows()[1]->recordID();
    down->setFocus();
    down->click();
    settle();
    ASSERT_EQ(bench.store.lifetimeFlagged(), 1);
    CorrectionRow::Thumb* now = view->rows()[1]->thumbDown();
    EXPECT_NE(now, down) << "the row was rebuilt";
    EXPECT_EQ(view->rows()[1]->recordID(), id);
    EXPECT_EQ(window.focusWidget(), now);
}

// With no records: the empty state, both buttons disabled, and the counters still shown, also
// after earlier fixes were counted.
TEST_F(HistoryViewTest, EmptyHistory)
{
    EXPECT_EQ(makeView()->emptyStateTitle(), "No corrections yet");
    bench.store.add(bench.correction("akuo", "שלום", 0));
    bench.store.clear();
    auto view = makeView();
    EXPECT_TRUE(view->showsEmptyState());
    EXPECT_EQ(view->emptyStateTitle(), "No corrections yet");
    EXPECT_FALSE(view->clearButton()->isEnabled());
    EXPECT_FALSE(view->copyButton()->isEnabled());
    ASSERT_EQ(view->tiles().size(), 3u);
    EXPECT_EQ(view->tiles()[0]->value(), "1");
    EXPECT_EQ(view->tiles()[0]->label(), "times fixed");
    EXPECT_EQ(view->tiles()[1]->label(), "app");
}

// "Clear" empties the list at once and leaves every counter as it was.
TEST_F(HistoryViewTest, ClearKeepsTheCounters)
{
    bench.store.add(bench.correction("akuo", "שלום", 0));
    bench.store.add(bench.correction("ghbdtn", "привет", 0, std::chrono::minutes(0), "firefox"));
    auto view = makeView();
    EXPECT_EQ(view->tiles()[1]->label(), "apps");
    view->clearButton()->click();
    settle();
    EXPECT_TRUE(view->showsEmptyState());
    EXPECT_EQ(view->tiles()[0]->value(), "2");
    EXPECT_EQ(view->tiles()[1]->value(), "2");
    EXPECT_EQ(view->tiles()[2]->value(), "0");
}

// "Copy report" puts the controller's report on the clipboard and reads "Copied" for a while.
TEST_F(HistoryViewTest, CopyReportFillsTheClipboard)
{
    bench.store.add(bench.correction("akuo", "שלום", 0));
    bench.actions.report = "Kestrelix report · today";
    auto view = makeView();
    view->copyButton()->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QString::fromUtf8("Kestrelix report · today"));
    EXPECT_EQ(view->copyButton()->text(), "Copied");
    runFor(HistoryView::copiedMilliseconds + 100);
    EXPECT_EQ(view->copyButton()->text(), "Copy report");
}

// Without troubleshooting mode: no flagged tile, no copy button, no thumbs.
TEST_F(HistoryViewTest, OutsideTroubleshootingNoRatingTools)
{
    bench.store.add(bench.correction("akuo", "שלום", 0));
    auto view = makeView();
    bench.behavior.setTroubleshooting(false);
    settle();
    EXPECT_EQ(view->tiles().size(), 2u);
    EXPECT_TRUE(view->copyButton()->isHidden());
    ASSERT_EQ(view->rows().size(), 1u);
    EXPECT_EQ(view->rows()[0]->thumbUp(), nullptr);
}

// The kind badge names the kind, with the count of earlier words for a reach-back.
TEST(CorrectionRowTest, BadgeTextsAndColours)
{
    CorrectionRecord record;
    EXPECT_EQ(CorrectionRow::badgeText(record), "AUTO");
    EXPECT_EQ(CorrectionRow::kindColor(CorrectionKind::auto_), QColor(0x00, 0x7A, 0xFF));
    record.kind = CorrectionKind::retro;
    record.retroCount = 3;
    EXPECT_EQ(CorrectionRow::badgeText(record), QString::fromUtf8("RETRO ×3"));
    record.kind = CorrectionKind::orphan;
    EXPECT_EQ(CorrectionRow::badgeText(record), "ORPHAN");
}

// The typed word is struck through; the corrected one is semibold.
TEST(CorrectionRowTest, WordsLineStyles)
{
    CorrectionRecord record;
    record.original = "akuo";
    record.corrected = "shalom";
    CorrectionRow row(record, false, {});
    QTextDocument words;
    words.setHtml(row.wordsLabel()->text());
    std::map<QString, QTextCharFormat> formats;
    for (QTextBlock::iterator it = words.begin().begin(); !it.atEnd(); ++it)
        formats[it.fragment().text().trimmed()] = it.fragment().charFormat();
    ASSERT_TRUE(formats.contains("akuo"));
    ASSERT_TRUE(formats.contains("shalom"));
    EXPECT_TRUE(formats["akuo"].fontStrikeOut());
    EXPECT_EQ(formats["shalom"].fontWeight(), QFont::DemiBold);
    EXPECT_FALSE(formats["shalom"].fontStrikeOut());
}

// Typed text is shown as text: markup in it is never interpreted.
TEST(CorrectionRowTest, TypedMarkupIsShownVerbatim)
{
    CorrectionRecord record;
    record.original = "<b>x</b>";
    record.corrected = "<img src=a>";
    record.appName = "<i>Ed</i> & Co";
    CorrectionRow row(record, false, {});
    EXPECT_TRUE(row.wordsLabel()->text().contains("&lt;b&gt;x&lt;/b&gt;"));
    EXPECT_FALSE(row.wordsLabel()->text().contains("<img"));
    EXPECT_EQ(row.thumbUp(), nullptr);
    QLabel* app = labelWithText(row, "<i>Ed</i> & Co");
    ASSERT_NE(app, nullptr);
    EXPECT_FALSE(readsMarkup(*app));
}

}  // namespace
}  // namespace kx::test
