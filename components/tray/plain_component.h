// The plain non-visual component base: it knows whether its owner is still
// setting its properties (loading) and whether it lives in a designer.
#pragma once

namespace quillan {

class TPlainComponent {
public:
    TPlainComponent(const TPlainComponent&) = delete;
    TPlainComponent& operator=(const TPlainComponent&) = delete;
    virtual ~TPlainComponent() = default;

    // True from construction until Loaded: property setters only record values.
    bool Loading() const { return loading_; }
    // True only inside a form designer; the program itself never sets it.
    bool Designing() const { return designing_; }
    void SetDesigning(bool value) { designing_ = value; }

    // The owner has set every property; the component now acts on them.
    virtual void Loaded() { loading_ = false; }

protected:
    TPlainComponent() = default;

private:
    bool loading_ = true;
    bool designing_ = false;
};

}  // namespace quillan
