#pragma once
// The process's time zone for a scope: TZ is set and read again at once
// (localtime_r reads TZ only when nothing has read it yet, so a setenv
// alone is lost once any earlier code asked for a local time), and the
// former zone comes back at the end. A test that turns times into local ones
// then gives the same result in any zone the machine has, and in any order
// within one process.

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace TestSupport {

class TimeZone {
public:
    explicit TimeZone(const char* zone) {
        if (const char* former = std::getenv("TZ")) m_former = former;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~TimeZone() {
        if (m_former)
            setenv("TZ", m_former->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    TimeZone(const TimeZone&) = delete;
    TimeZone& operator=(const TimeZone&) = delete;

private:
    std::optional<std::string> m_former;
};

} // namespace TestSupport
