// The fixtures' journal read as a sequence of events.
#include "events.h"

#include <sstream>

namespace wt {

std::vector<std::string> Events(const Journal& journal)
{
    std::vector<std::string> events;
    for (const std::string& line : journal.Lines()) {
        std::istringstream words(line);
        std::string who, name, event;
        words >> who;
        if (who == "uninstaller") {
            words >> name >> event;
            if (event != "shown" && event != "hidden")
                events.push_back(who + " " + name + " " + event);
        } else if (who == "shadewin") {
            // The stand-in hook library: its calls, and whether the target
            // was still suspended when it was handed over.
            words >> event;
            std::string thread, state;
            if (event == "GetThreadID" && (words >> thread >> state))
                event += " " + state;
            events.push_back(who + " " + event);
        } else if (who == "installer" || who == "iexplore" || who == "planted") {
            words >> event;
            if (event != "cwd" && event != "page-opened")
                events.push_back(who + " " + event);
        }
    }
    return events;
}

std::vector<std::string> Uninstalled(const std::string& name)
{
    std::string who = "uninstaller " + name + " ";
    return {who + "start", who + "continue", who + "close", who + "end"};
}

std::vector<std::string> Concat(std::initializer_list<std::vector<std::string>> parts)
{
    std::vector<std::string> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

}  // namespace wt
