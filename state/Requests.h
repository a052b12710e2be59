#pragma once
#include <cstdint>
#include <functional>
#include <utility>

// The one way a request reaches the tick. A request is a record field that some writer (input, a
// window, the desktop bus, a later start's hand-over, the tick itself) sets and the code that
// carries it out clears. Every such field is a Request<T> enrolled in its record's ledger, so:
// - the ledger knows whether anything is pending without a list of fields, and
// - every write that leaves a request pending calls the ledger's waker (the timer's scheduler),
//   so a resting or napping timer runs its next call within one period, whoever wrote.
// User-interface thread only. Each request stays bound to the ledger it was made with: records
// can be assigned (the values are asked anew), never copy-constructed.
class RequestLedger {
public:
    RequestLedger() = default;
    RequestLedger(const RequestLedger&) = delete;
    // Keeps its own waker and bits: the requests assigned after it mark themselves.
    RequestLedger& operator=(const RequestLedger&) { return *this; }

    // Called after every write that leaves a request pending; none until set.
    void SetWaker(std::function<void()> waker) { waker_ = std::move(waker); }
    bool AnyPending() const { return pending_ != 0; }

    // For Request<T>: a bit of its own, and its pending state after a write.
    int Enrol() { return enrolled_++; }
    void Mark(int bit, bool pending) {
        const uint64_t mask = uint64_t{1} << bit;
        if (!pending) {
            pending_ &= ~mask;
            return;
        }
        pending_ |= mask;
        if (waker_) waker_();
    }

private:
    uint64_t pending_ = 0;
    int enrolled_ = 0;  // at most 64 requests a ledger
    std::function<void()> waker_;
};

// A request of type T; `none` (T{} unless given) is "nothing asked". Reads convert to T.
template <class T>
class Request {
public:
    explicit Request(RequestLedger& ledger, T none = T{})
        : ledger_(ledger), bit_(ledger.Enrol()), none_(none), value_(std::move(none)) {}
    Request(const Request&) = delete;
    Request& operator=(const Request& other) {
        Ask(other.value_);
        return *this;
    }

    // Asks for `value` (asking `none` clears) and wakes the timer.
    void Ask(T value) {
        value_ = std::move(value);
        ledger_.Mark(bit_, Pending());
    }
    void Clear() { Ask(none_); }
    // The request, cleared: for the code that carries it out.
    T Take() {
        T taken = std::move(value_);
        Clear();
        return taken;
    }
    bool Pending() const { return !(value_ == none_); }
    const T& Get() const { return value_; }
    operator const T&() const { return value_; }
    const T* operator->() const { return &value_; }

private:
    RequestLedger& ledger_;
    int bit_;
    T none_;
    T value_;
};
