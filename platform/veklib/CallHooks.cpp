#include "platform/veklib/CallHooks.h"

#include "platform/veklib/HostState.h"
#include "platform/veklib/VekHost.h"
#include "numeric/NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <stdexcept>

namespace vekhost::detail {

bool gHooked[kCallCount] = {};
int64_t gCallCounts[kCallCount] = {};

namespace {

const char* const kCallNames[kCallCount] = {
#define VEK_NAME(name) #name,
    VEK_CALLS(VEK_NAME)
#undef VEK_NAME
};

struct Window {
    int64_t first;  // use numbers, 1-based, inclusive
    int64_t last;
};

struct Faults {
    std::vector<Window> windows;
    std::vector<std::function<bool(const std::vector<double>&)>> predicates;
};

bool gLogOn = false;
std::vector<std::string> gLog;
Faults gFaults[kCallCount];
bool gAnyFault = false;

// The observer, and the call it is waiting to see the result of. Calls do
// not nest, so one pending call is enough; calls the observer itself makes
// are not observed.
std::function<void(const ObservedCall&)> gObserver;
bool gObserved[kCallCount] = {};  // the calls the observer sees
ObservedCall gPending;
CallId gPendingId = kCallCount;
bool gDelivering = false;

void UpdateActive() {
    for (int id = 0; id < kCallCount; ++id) {
        gHooked[id] = gLogOn || gAnyFault || (gObserver && gObserved[id]);
    }
}

void Deliver() {
    gPending.entry = S().currentEntry;
    gDelivering = true;
    gObserver(gPending);
    gDelivering = false;
    gPendingId = kCallCount;
}

void Observe(CallId id, const Args& args) {
    gPending.name = kCallNames[id];
    gPending.argCount = args.n;
    std::copy(args.v, args.v + args.n, gPending.args);
    gPending.text.clear();
    if (args.hasText && args.text) {
        for (const VekChar* p = args.text; *p; ++p) {
            gPending.text += static_cast<char16_t>(*p);
        }
    }
    gPending.result = std::nan("");
    gPendingId = id;
}

void AppendNumber(std::string& out, double x) {
    char buf[64];
    auto res = numeric::WriteDouble(buf, buf + sizeof buf, x);
    out.append(buf, res.ptr);
}

std::string Format(CallId id, const Args& args) {
    std::string s = kCallNames[id];
    s += '(';
    for (int i = 0; i < args.n; ++i) {
        if (i) {
            s += ',';
        }
        AppendNumber(s, args.v[i]);
    }
    if (args.hasText) {
        if (args.n) {
            s += ',';
        }
        if (args.text) {
            std::u16string t;
            for (const VekChar* p = args.text; *p; ++p) {
                t += static_cast<char16_t>(*p);
            }
            s += '"' + ToUtf8(t) + '"';
        } else {
            s += "null";
        }
    }
    s += ')';
    return s;
}

int RequireCall(const std::string& name) {
    int id = CallIdByName(name.data(), name.size());
    if (id < 0) {
        throw std::invalid_argument("unknown host call: " + name);
    }
    return id;
}

}  // namespace

int CallIdByName(const char* name, size_t length) {
    for (int i = 0; i < kCallCount; ++i) {
        if (std::strlen(kCallNames[i]) == length && std::memcmp(kCallNames[i], name, length) == 0) {
            return i;
        }
    }
    return -1;
}

bool EnterSlow(CallId id, const Args& args, bool hasResult) {
    if (gLogOn) {
        gLog.push_back(Format(id, args));
    }
    if (gObserver && gObserved[id] && !gDelivering) {
        Observe(id, args);
        if (!hasResult) {
            Deliver();
        }
    }
    const Faults& f = gFaults[id];
    int64_t use = gCallCounts[id];
    for (const Window& w : f.windows) {
        if (use >= w.first && use <= w.last) {
            return true;
        }
    }
    if (!f.predicates.empty()) {
        std::vector<double> v(args.v, args.v + args.n);
        for (const auto& p : f.predicates) {
            if (p(v)) {
                return true;
            }
        }
    }
    return false;
}

void LeaveSlow(CallId id, double result) {
    if (gPendingId != id || gDelivering || !gObserver) {
        return;
    }
    gPending.result = result;
    Deliver();
}

void ResetHooks() {
    gObserver = nullptr;
    gPendingId = kCallCount;
    gLogOn = false;
    gLog.clear();
    for (auto& f : gFaults) {
        f = Faults{};
    }
    gAnyFault = false;
    for (int64_t& c : gCallCounts) {
        c = 0;
    }
    UpdateActive();
}

}  // namespace vekhost::detail

namespace vekhost {

using namespace detail;

void SetCallLog(bool on) {
    gLogOn = on;
    UpdateActive();
}

std::vector<std::string> CallLog() {
    return gLog;
}

void ClearCallLog() {
    gLog.clear();
}

void FailCall(const std::string& name, int nth, int times) {
    int id = RequireCall(name);
    if (nth < 1 || times < 1) {
        throw std::invalid_argument("FailCall: nth and times must be >= 1");
    }
    int64_t first = gCallCounts[id] + nth;
    gFaults[id].windows.push_back({first, first + times - 1});
    gAnyFault = true;
    UpdateActive();
}

void FailWhen(const std::string& name, std::function<bool(const std::vector<double>&)> predicate) {
    int id = RequireCall(name);
    if (!predicate) {
        throw std::invalid_argument("FailWhen: empty predicate");
    }
    gFaults[id].predicates.push_back(std::move(predicate));
    gAnyFault = true;
    UpdateActive();
}

void SetCallObserver(std::function<void(const ObservedCall&)> observer,
                     const std::vector<std::string>& calls) {
    bool observed[kCallCount] = {};
    for (const std::string& name : calls) {
        observed[RequireCall(name)] = true;
    }
    for (int id = 0; id < kCallCount; ++id) {
        gObserved[id] = calls.empty() || observed[id];
    }
    gObserver = std::move(observer);
    gPendingId = kCallCount;
    UpdateActive();
}

void ClearFaults() {
    for (auto& f : gFaults) {
        f = Faults{};
    }
    gAnyFault = false;
    UpdateActive();
}

int CallCount(const std::string& name) {
    int64_t n = gCallCounts[RequireCall(name)];
    return n > INT32_MAX ? INT32_MAX : static_cast<int>(n);
}

}  // namespace vekhost
