#pragma once

namespace platform {

// Opens the program's help file at the topic with the given context number.
class Help {
public:
    virtual ~Help() = default;
    virtual void showContext(int context) = 0;
};

} // namespace platform
