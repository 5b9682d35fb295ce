#include "render/CaptionRoom.h"

namespace Render {

void CaptionRoom::begin(const Area& area) {
    m_area = area;
    m_boxes.clear();
}

void CaptionRoom::add(const OrientedBox& box) {
    const float reach = box.extent();
    if (box.centreX + reach >= static_cast<float>(m_area.left) &&
        box.centreX - reach <= static_cast<float>(m_area.right) &&
        box.centreY + reach >= static_cast<float>(m_area.top) &&
        box.centreY - reach <= static_cast<float>(m_area.bottom))
        m_boxes.push_back(box);
}

bool CaptionRoom::clear(const OrientedBox& box) const {
    return std::none_of(m_boxes.begin(), m_boxes.end(),
                        [&](const OrientedBox& other) { return box.overlaps(other); });
}

void CaptionRoom::spansOf(std::initializer_list<OrientedBox> moving, const Slide& how) {
    // Each box in the way takes a span of the shifts.
    m_spans.clear();
    for (const OrientedBox& box : moving)
        for (const OrientedBox& other : m_boxes) {
            const float along =
                (other.centreX - box.centreX) * how.dirX + (other.centreY - box.centreY) * how.dirY;
            const float reach = box.extent() + other.extent() + 2.0f;
            if (along + reach < how.least || along - reach > how.most) continue;
            float from, to;
            if (box.overlapsAlong(other, how.dirX, how.dirY, from, to)) m_spans.push_back(Span{from, to});
        }
    // Spans closer than twice the gap leave no room between them.
    std::sort(m_spans.begin(), m_spans.end(), [](const Span& a, const Span& b) { return a.from < b.from; });
    m_shifts.clear();
    for (std::size_t i = 0; i < m_spans.size();) {
        const float from = m_spans[i].from;
        float to = m_spans[i].to;
        for (++i; i < m_spans.size() && m_spans[i].from - how.gap < to + how.gap; ++i)
            to = std::max(to, m_spans[i].to);
        m_shifts.push_back(from - how.gap);
        m_shifts.push_back(to + how.gap);
    }
    std::sort(m_shifts.begin(), m_shifts.end(), [](float a, float b) { return std::fabs(a) < std::fabs(b); });
}

} // namespace Render
