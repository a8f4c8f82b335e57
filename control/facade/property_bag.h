// A text property bag: the host's store of a control's persisted properties,
// one "Name=Value" line each.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace kest {

class PropertyBag {
  public:
    virtual ~PropertyBag() = default;
    // False when the bag holds no such property.
    virtual bool Read(const std::string& name, std::string& value) const = 0;
    virtual void Write(const std::string& name, const std::string& value) = 0;
};

class TextPropertyBag final : public PropertyBag {
  public:
    TextPropertyBag() = default;
    // Parses "Name=Value" lines; other lines are ignored.
    explicit TextPropertyBag(const std::string& text);

    bool Read(const std::string& name, std::string& value) const override;
    void Write(const std::string& name, const std::string& value) override;
    std::string Text() const;

  private:
    std::map<std::string, std::string> values_;
    std::vector<std::string> order_;
};

}  // namespace kest
