#pragma once
// Exclusive access to the whole engine for work that cannot be split into small commands (a
// state restore, an import while no render thread runs, a reset). The token is one atomic
// owner word. The render thread only ever tries to take it and never waits: when a control
// thread holds it, that render call plays silence. A control thread takes it by retrying with
// short sleeps; the render thread holds it for at most one render call. The owner may take it
// again (nested holds count), so code that runs under the token can call code that takes it.

#include <atomic>
#include <thread>

class CExclusiveToken
{
public:
    CExclusiveToken() = default;
    CExclusiveToken(const CExclusiveToken&) = delete;
    CExclusiveToken& operator=(const CExclusiveToken&) = delete;

    // [any] Takes the token when it is free or already the caller's; never waits.
    bool TryAcquire() noexcept;
    // [ui] Takes the token, sleeping briefly between attempts. Never call it on the render
    // thread.
    void Acquire();
    // [any] Gives back one hold; the caller must hold the token.
    void Release() noexcept;
    // [any] Whether the calling thread holds the token.
    bool HeldByCaller() const noexcept;

    // Holds the token for a scope: Acquire on construction (or TryAcquire, see Owns), Release
    // on destruction.
    class Hold
    {
    public:
        explicit Hold(CExclusiveToken& token);                     // [ui] waits
        Hold(CExclusiveToken& token, std::try_to_lock_t) noexcept; // [any] never waits
        ~Hold();
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;
        bool Owns() const noexcept { return mOwns; } // [any]

    private:
        CExclusiveToken& mToken;
        bool mOwns;
    };

private:
    static_assert(std::atomic<std::thread::id>::is_always_lock_free);

    std::atomic<std::thread::id> mOwner{};
    int mDepth = 0; // touched only by the owner
};
