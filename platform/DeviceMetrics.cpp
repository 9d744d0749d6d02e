#include "platform/DeviceMetrics.h"

#include <cmath>

namespace platform {

DeviceMetrics::DeviceMetrics(const QPaintDevice &device) : m_type(device.devType())
{
    // Only the public accessors reach another device's metrics.
    m_values[PdmWidth] = device.width();
    m_values[PdmHeight] = device.height();
    m_values[PdmWidthMM] = device.widthMM();
    m_values[PdmHeightMM] = device.heightMM();
    m_values[PdmNumColors] = device.colorCount();
    m_values[PdmDepth] = device.depth();
    m_values[PdmDpiX] = device.logicalDpiX();
    m_values[PdmDpiY] = device.logicalDpiY();
    m_values[PdmPhysicalDpiX] = device.physicalDpiX();
    m_values[PdmPhysicalDpiY] = device.physicalDpiY();
    m_values[PdmDevicePixelRatio] = int(std::lround(device.devicePixelRatio()));
    m_values[PdmDevicePixelRatioScaled] =
        int(std::lround(device.devicePixelRatio() * devicePixelRatioFScale()));
}

int DeviceMetrics::metric(PaintDeviceMetric metric) const
{
    const auto index = size_t(metric);
    return index < m_values.size() ? m_values[index] : 0;
}

} // namespace platform
