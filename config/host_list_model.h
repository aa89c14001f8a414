// The host list as data: the hosts (shared, so that whoever still works for a host deleted
// meanwhile keeps its record), their order, the separators between groups and the
// selection. The list widget shows it (gui/host_list.h); the engine asks it for hosts.
// Main thread only. Lines are counted from 0.
#pragma once

#include <memory>
#include <string>
#include <vector>

class HostItem;

// One line: a host, or a separator (no host) with the text the widget draws for it.
struct TNHostLine {
    std::shared_ptr<HostItem> host;
    std::string text;
};

class TNHostListModel {
public:
    static constexpr int none = -1;

    size_t size() const { return lines.size(); }
    const TNHostLine& line(size_t index) const { return lines.at(index); }
    // The host of a line, or null (a separator, out of range).
    HostItem* hostAt(int index) const;
    // The line of a host, or none.
    int find(const HostItem* itm) const;
    // A holder of the host's record while it is listed, or null.
    std::shared_ptr<HostItem> share(const HostItem* itm) const;
    // The hosts, top to bottom (separators left out).
    std::vector<HostItem*> hosts() const;

    // A line at the end; returns its index.
    int append(TNHostLine line);
    // A line right after the selected one, or at the end with none selected; returns its index.
    int insertAfterSelection(TNHostLine line);
    // Takes a line out (the selection follows its line, or goes with it); returns its host.
    std::shared_ptr<HostItem> remove(int index);
    void clear();
    // The selected line changes places with the one above or below; false at the edge or
    // with nothing selected.
    bool moveSelectedUp();
    bool moveSelectedDown();

    int selected() const { return selection; }
    void select(int index);
    bool isSelected(const HostItem* itm) const;

private:
    bool swapSelectedWith(int other);

    std::vector<TNHostLine> lines;
    int selection = none;
};

// The program's host list.
TNHostListModel& tnHostList();
