#include "ZEBMK_SparseMatrix.h"

namespace ZEBMK {

SparseMatrix::~SparseMatrix() = default;

} // namespace ZEBMK
