#pragma once

#include <QPaintDevice>

#include <array>

namespace platform {

// A paint device that only answers the metrics another device had when this
// was made. Text laid out for it is laid out as for that device (same
// resolution, size and kind), and it can be asked from any thread while the
// device itself is being painted on.
class DeviceMetrics final : public QPaintDevice {
public:
    explicit DeviceMetrics(const QPaintDevice &device);

    int devType() const override { return m_type; }
    QPaintEngine *paintEngine() const override { return nullptr; }

protected:
    int metric(PaintDeviceMetric metric) const override;

private:
    int m_type;
    std::array<int, PdmDevicePixelRatioScaled + 1> m_values{};
};

} // namespace platform
