#include <gtest/gtest.h>

#include <cstdint>

#include "core/arrays.hpp"
#include "platform/memory.hpp"

namespace {

using masscal::platform::mem_size;

TEST(WorkArrays, VectorsAreOneBased) {
    CalArray v{}, f{};
    ASSERT_EQ(CalAllocVector(&v, 5), CAL_OK);
    ASSERT_EQ(masscal::core::alloc_float_vector(&f, 5), CAL_OK);
    EXPECT_EQ(mem_size(v.hMem), 6u * 8);
    EXPECT_EQ(mem_size(f.hMem), 6u * 4);
    masscal::core::array_data<double>(v)[5] = 1.0;
    masscal::core::array_data<float>(f)[5] = 1.0f;
    CalFree(&v);
    CalFree(&f);
}

TEST(WorkArrays, DoubleMatrixKeepsTheBlockArithmetic) {
    CalArray m{};
    ASSERT_EQ(CalAllocMatrix(&m, 3, 2), CAL_OK);
    EXPECT_EQ(mem_size(m.hMem), 13u * 8);
    auto* base = static_cast<double*>(m.pData);
    double** rows = masscal::core::array_data<double*>(m);
    EXPECT_EQ(rows[1], base + 4);
    EXPECT_EQ(rows[2], base + 7);
    EXPECT_EQ(rows[3], base + 10);
    CalFree(&m);
}

struct Shape {
    int rows, cols;
};

class MatrixShapes : public ::testing::TestWithParam<Shape> {};

// Writes a distinct value into every cell and reads all back: no cell
// overlaps another or the row table, and all lie inside the block.
template <class T>
void check_cells(CalArray& m, int n, int cols) {
    T** rows = static_cast<T**>(m.pData);
    T* const* table_copy = rows;
    std::vector<T*> saved(table_copy + 1, table_copy + n + 1);
    const auto* lo = static_cast<const unsigned char*>(m.pData);
    const auto* hi = lo + mem_size(m.hMem);
    for (int i = 1; i <= n; ++i)
        for (int j = 1; j <= cols; ++j) {
            const auto* cell = reinterpret_cast<const unsigned char*>(&rows[i][j]);
            ASSERT_GE(cell, lo + sizeof(T*) * (n + 1)) << i << "," << j;
            ASSERT_LE(cell + sizeof(T), hi) << i << "," << j;
            rows[i][j] = static_cast<T>(i * 1000 + j);
        }
    for (int i = 1; i <= n; ++i) {
        EXPECT_EQ(rows[i], saved[i - 1]);
        for (int j = 1; j <= cols; ++j) EXPECT_EQ(rows[i][j], static_cast<T>(i * 1000 + j));
    }
}

TEST_P(MatrixShapes, CellsAreDistinctAndInside) {
    const Shape s = GetParam();
    CalArray d{}, f{};
    ASSERT_EQ(CalAllocMatrix(&d, s.rows, s.cols), CAL_OK);
    check_cells<double>(d, s.rows, s.cols);
    ASSERT_EQ(masscal::core::alloc_float_matrix(&f, s.rows, s.cols), CAL_OK);
    check_cells<float>(f, s.rows, s.cols);
    CalFree(&d);
    CalFree(&f);
}

INSTANTIATE_TEST_SUITE_P(Shapes, MatrixShapes,
                         ::testing::Values(Shape{1, 1}, Shape{3, 2}, Shape{2, 3}, Shape{6, 6}, Shape{100, 6},
                                           Shape{1, 6}, Shape{6, 1}));

TEST(WorkArrays, MatrixFailureReturnsTheStatus) {
    CalArray m{};
    masscal::platform::set_alloc_failure(1);
    EXPECT_EQ(CalAllocMatrix(&m, 4, 4), CAL_ERR_NO_MEMORY);
    EXPECT_EQ(m.hMem, nullptr);
    masscal::platform::set_alloc_failure(1);
    EXPECT_EQ(masscal::core::alloc_float_matrix(&m, 4, 4), CAL_ERR_NO_MEMORY);
    EXPECT_EQ(m.hMem, nullptr);
}

}  // namespace
