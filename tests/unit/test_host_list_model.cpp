// The host list as data: order, separators, selection and who holds the records.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "config/host_item.h"
#include "config/host_list_model.h"

namespace {

std::shared_ptr<HostItem> host(const std::string& name)
{
    auto itm = std::make_shared<HostItem>();
    itm->name = name;
    return itm;
}

// The lines as "name" for hosts and "-" for separators, the selected one in brackets.
std::string shown(const TNHostListModel& model)
{
    std::string text;
    for (size_t i = 0; i < model.size(); i++) {
        const TNHostLine& line = model.line(i);
        const std::string name = line.host ? line.host->name : "-";
        text += static_cast<int>(i) == model.selected() ? "[" + name + "]" : name;
        text += ' ';
    }
    return text;
}

TNHostListModel threeHostsAndASeparator()
{
    TNHostListModel model;
    model.append({host("a"), ""});
    model.append({nullptr, " "});
    model.append({host("b"), ""});
    model.append({host("c"), ""});
    return model;
}

TEST(HostListModel, FindsHostsAndSkipsSeparators)
{
    TNHostListModel model = threeHostsAndASeparator();
    HostItem* b = model.hostAt(2);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->name, "b");
    EXPECT_EQ(model.hostAt(1), nullptr) << "a separator";
    EXPECT_EQ(model.hostAt(-1), nullptr);
    EXPECT_EQ(model.hostAt(4), nullptr);
    EXPECT_EQ(model.find(b), 2);
    HostItem stranger;
    EXPECT_EQ(model.find(&stranger), TNHostListModel::none);
    EXPECT_EQ(model.find(nullptr), TNHostListModel::none);
    ASSERT_EQ(model.hosts().size(), 3u);
    EXPECT_EQ(model.hosts()[1], b);
    EXPECT_EQ(model.share(b).get(), b);
    EXPECT_EQ(model.share(&stranger), nullptr);
}

TEST(HostListModel, InsertsAfterTheSelectionOrAtTheEnd)
{
    struct Case {
        int selected;
        const char* after;
    };
    for (const Case c : {Case{TNHostListModel::none, "a - b c [new] "}, Case{0, "a [new] - b c "},
                         Case{1, "a - [new] b c "}, Case{3, "a - b c [new] "}}) {
        SCOPED_TRACE(c.selected);
        TNHostListModel model = threeHostsAndASeparator();
        model.select(c.selected);
        const int index = model.insertAfterSelection({host("new"), ""});
        model.select(index);
        EXPECT_EQ(shown(model), c.after);
    }
}

TEST(HostListModel, MovesTheSelectedLineUpAndDownWithinTheList)
{
    TNHostListModel model = threeHostsAndASeparator();
    EXPECT_FALSE(model.moveSelectedUp()) << "nothing selected";
    EXPECT_FALSE(model.moveSelectedDown());
    model.select(2);
    EXPECT_TRUE(model.moveSelectedUp());
    EXPECT_EQ(shown(model), "a [b] - c ");
    EXPECT_TRUE(model.moveSelectedUp());
    EXPECT_FALSE(model.moveSelectedUp()) << "at the top";
    EXPECT_EQ(shown(model), "[b] a - c ");
    model.select(3);
    EXPECT_FALSE(model.moveSelectedDown()) << "at the bottom";
    EXPECT_TRUE(model.moveSelectedUp());
    EXPECT_EQ(shown(model), "b a [c] - ");
    model.select(7);
    EXPECT_EQ(model.selected(), TNHostListModel::none) << "out of range selects nothing";
}

TEST(HostListModel, DeletingMovesTheSelectionWithItsLine)
{
    struct Case {
        int selected, removed;
        const char* after;
    };
    for (const Case c : {Case{3, 0, "- b [c] "}, Case{0, 3, "[a] - b "}, Case{2, 2, "a - c "},
                         Case{TNHostListModel::none, 1, "a b c "}}) {
        SCOPED_TRACE(std::to_string(c.selected) + " " + std::to_string(c.removed));
        TNHostListModel model = threeHostsAndASeparator();
        model.select(c.selected);
        model.remove(c.removed);
        EXPECT_EQ(shown(model), c.after);
        EXPECT_FALSE(model.isSelected(nullptr));
    }
    TNHostListModel model = threeHostsAndASeparator();
    EXPECT_EQ(model.remove(9), nullptr);
    model.clear();
    EXPECT_EQ(model.size(), 0u);
    EXPECT_EQ(model.selected(), TNHostListModel::none);
}

// A deleted host lives while someone else still holds it, and goes with the last holder.
TEST(HostListModel, ADeletedRecordLivesAsLongAsItIsHeld)
{
    TNHostListModel model = threeHostsAndASeparator();
    std::weak_ptr<HostItem> watched = model.share(model.hostAt(0));
    std::shared_ptr<HostItem> worker = model.share(model.hostAt(0));
    model.select(0);
    EXPECT_TRUE(model.isSelected(worker.get()));
    EXPECT_EQ(model.remove(0), worker);
    EXPECT_FALSE(watched.expired());
    EXPECT_EQ(worker->name, "a");
    worker.reset();
    EXPECT_TRUE(watched.expired());
}

} // namespace
