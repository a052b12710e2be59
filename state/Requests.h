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
    void SetWaker(std::function<void()> waker) { m_waker = std::move(waker); }
    bool AnyPending() const { return m_pending != 0; }

    // For Request<T>: a bit of its own, and its pending state after a write.
    int Enrol() { return m_enrolled++; }
    void Mark(int bit, bool pending) {
        const uint64_t mask = uint64_t{1} << bit;
        if (!pending) {
            m_pending &= ~mask;
            return;
        }
        m_pending |= mask;
        if (m_waker) m_waker();
    }

private:
    uint64_t m_pending = 0;
    int m_enrolled = 0;  // at most 64 requests a ledger
    std::function<void()> m_waker;
};

// A request of type T; `none` (T{} unless given) is "nothing asked". Reads convert to T.
template <class T>
class Request {
public:
    explicit Request(RequestLedger& ledger, T none = T{})
        : m_ledger(ledger), m_bit(ledger.Enrol()), m_none(none), m_value(std::move(none)) {}
    Request(const Request&) = delete;
    Request& operator=(const Request& other) {
        Ask(other.m_value);
        return *this;
    }

    // Asks for `value` (asking `none` clears) and wakes the timer.
    void Ask(T value) {
        m_value = std::move(value);
        m_ledger.Mark(m_bit, Pending());
    }
    void Clear() { Ask(m_none); }
    // The request, cleared: for the code that carries it out.
    T Take() {
        T taken = std::move(m_value);
        Clear();
        return taken;
    }
    bool Pending() const { return !(m_value == m_none); }
    const T& Get() const { return m_value; }
    operator const T&() const { return m_value; }
    const T* operator->() const { return &m_value; }

private:
    RequestLedger& m_ledger;
    int m_bit;
    T m_none;
    T m_value;
};
