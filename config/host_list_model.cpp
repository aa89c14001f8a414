#include "config/host_list_model.h"

#include "config/host_item.h"

HostItem* TNHostListModel::hostAt(int index) const
{
    if (index < 0 || static_cast<size_t>(index) >= lines.size())
        return nullptr;
    return lines[static_cast<size_t>(index)].host.get();
}

int TNHostListModel::find(const HostItem* itm) const
{
    if (!itm)
        return none;
    for (size_t i = 0; i < lines.size(); i++) {
        if (lines[i].host.get() == itm)
            return static_cast<int>(i);
    }
    return none;
}

std::shared_ptr<HostItem> TNHostListModel::share(const HostItem* itm) const
{
    const int index = find(itm);
    return index == none ? nullptr : lines[static_cast<size_t>(index)].host;
}

std::vector<HostItem*> TNHostListModel::hosts() const
{
    std::vector<HostItem*> result;
    result.reserve(lines.size());
    for (const TNHostLine& line : lines) {
        if (line.host)
            result.push_back(line.host.get());
    }
    return result;
}

int TNHostListModel::append(TNHostLine line)
{
    lines.push_back(std::move(line));
    return static_cast<int>(lines.size()) - 1;
}

int TNHostListModel::insertAfterSelection(TNHostLine line)
{
    if (selection == none)
        return append(std::move(line));
    const int index = selection + 1;
    lines.insert(lines.begin() + index, std::move(line));
    return index;
}

std::shared_ptr<HostItem> TNHostListModel::remove(int index)
{
    if (index < 0 || static_cast<size_t>(index) >= lines.size())
        return nullptr;
    std::shared_ptr<HostItem> host = std::move(lines[static_cast<size_t>(index)].host);
    lines.erase(lines.begin() + index);
    if (selection == index)
        selection = none;
    else if (selection > index)
        selection--;
    return host;
}

void TNHostListModel::clear()
{
    lines.clear();
    selection = none;
}

bool TNHostListModel::swapSelectedWith(int other)
{
    if (selection == none || other < 0 || static_cast<size_t>(other) >= lines.size())
        return false;
    std::swap(lines[static_cast<size_t>(selection)], lines[static_cast<size_t>(other)]);
    selection = other;
    return true;
}

bool TNHostListModel::moveSelectedUp()
{
    return swapSelectedWith(selection - 1);
}

bool TNHostListModel::moveSelectedDown()
{
    return selection != none && swapSelectedWith(selection + 1);
}

void TNHostListModel::select(int index)
{
    selection = index >= 0 && static_cast<size_t>(index) < lines.size() ? index : none;
}

bool TNHostListModel::isSelected(const HostItem* itm) const
{
    return itm && selection != none && lines[static_cast<size_t>(selection)].host.get() == itm;
}

TNHostListModel& tnHostList()
{
    // Never destroyed: the engine's records and the list widget still point at its hosts
    // while the program exits.
    static TNHostListModel& model = *new TNHostListModel();
    return model;
}
