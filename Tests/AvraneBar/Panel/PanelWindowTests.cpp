#include <gmock/gmock.h>

#include "AvraneBar/Panel/EdgeResize.h"

namespace avrane {
namespace {

TEST(EdgeResize, theBandAlongTheEdgesAndTheCorners) {
    const QSize window(360, 500);
    const struct {
        QPoint at;
        Qt::Edges edges;
    } rows[] = {
        {{0, 0}, Qt::TopEdge | Qt::LeftEdge}, {{5, 250}, Qt::LeftEdge}, {{6, 250}, {}},  {{354, 250}, Qt::RightEdge},
        {{353, 250}, {}}, {{180, 499}, Qt::BottomEdge}, {{-1, 250}, {}}, {{360, 250}, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.at.x() << ',' << row.at.y());
        EXPECT_EQ(resizeEdgesAt(row.at, window, EdgeResize::band), row.edges);
    }
}

}  // namespace
}  // namespace avrane
