#pragma once

#include <QWidget>

class HtmlView;
class CurrentChoices;

// The daily events viewer: the day's leaderboard events of the shard, fetched at every opening.
// Its page is its own; tests and assistive technology find it by its object name.
class EventsWindow : public QWidget {
    Q_OBJECT

public:
    explicit EventsWindow(const CurrentChoices& choices, QWidget* parent = nullptr);

public Q_SLOTS:
    // Fetches the events of the current shard and shows them.
    void fetchEvents();

protected:
    void showEvent(QShowEvent* event) override;

private:
    const CurrentChoices& m_choices;
    HtmlView* m_page;
    bool m_waiting = false;
};
