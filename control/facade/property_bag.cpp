#include "control/facade/property_bag.h"

#include <sstream>

namespace kest {

TextPropertyBag::TextPropertyBag(const std::string& text) {
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t eq = line.find('=');
        if (eq == std::string::npos || eq == 0) continue;
        Write(line.substr(0, eq), line.substr(eq + 1));
    }
}

bool TextPropertyBag::Read(const std::string& name, std::string& value) const {
    auto it = values_.find(name);
    if (it == values_.end()) return false;
    value = it->second;
    return true;
}

void TextPropertyBag::Write(const std::string& name, const std::string& value) {
    if (values_.find(name) == values_.end()) order_.push_back(name);
    values_[name] = value;
}

std::string TextPropertyBag::Text() const {
    std::string out;
    for (const std::string& name : order_)
        out += name + "=" + values_.at(name) + "\n";
    return out;
}

}  // namespace kest
