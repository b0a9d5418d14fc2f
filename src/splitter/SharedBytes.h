#pragma once
#include <memory>
#include <string>
#include <string_view>

namespace folioknife::splitter {

// Read-only bytes kept alive for as long as anyone holds them: a text read into memory, or a
// file mapped into it. Copies share the bytes.
class SharedBytes {
public:
    SharedBytes() = default;
    // Takes over a text in memory. Not explicit: a shared string is the common case.
    SharedBytes(std::shared_ptr<const std::string> text)  // NOLINT(google-explicit-constructor)
        : view_(text ? std::string_view(*text) : std::string_view()), owner_(std::move(text)) {}
    // Bytes that 'owner' keeps valid (a mapping that is undone when the last holder goes).
    SharedBytes(std::shared_ptr<const void> owner, std::string_view bytes)
        : view_(bytes), owner_(std::move(owner)) {}

    std::string_view view() const { return view_; }
    std::size_t size() const { return view_.size(); }
    bool empty() const { return view_.empty(); }
    // The first 'count' bytes, still kept alive by the same owner.
    SharedBytes prefix(std::size_t count) const {
        return SharedBytes(owner_, view_.substr(0, count));
    }

private:
    std::string_view view_;
    std::shared_ptr<const void> owner_;
};

}  // namespace folioknife::splitter
