#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include "ZEBMK_BandMatrix.h"
#include "ZEBMK_DenseMatrix.h"
#include "ZEBMK_SparseMatrixCSR.h"

// Factorisation plus one solution at the sizes of a room model (dense only up to n = 500: at 2000
// one dense LU takes over a second). Each iteration first restores the matrix values (a plain
// copy, part of the measured time) because the factorisation works in place.

namespace {

// Iteration matrix I - gamma*J of a diffusion-like Jacobian: diagonally dominant, every
// coupling -0.3, diagonal 1 + 0.3 * couplings.
double coupling(long i, long j) {
	return i == j ? 0.0 : -0.3 - 0.01 * static_cast<double>((i + 2 * j) % 5);
}

void denseLUSolve(benchmark::State & state) {
	const unsigned int n = static_cast<unsigned int>(state.range(0));
	ZEBMK::DenseMatrix original(n);
	for (unsigned int j = 0; j < n; ++j) {
		for (unsigned int i = 0; i < n; ++i)
			original(i, j) = coupling(i, j) / n;
		original(j, j) = 2.0;
	}
	ZEBMK::DenseMatrix a = original;
	std::vector<double> b(n);
	for (auto _ : state) {
		std::copy(original.data(), original.data() + static_cast<std::size_t>(n) * n, a.data());
		std::fill(b.begin(), b.end(), 1.0);
		benchmark::DoNotOptimize(a.lu());
		a.backsolve(b.data());
		benchmark::DoNotOptimize(b.data());
		benchmark::ClobberMemory();
	}
}

// Band of half-width 3 (the band solver's setting for the room model's constructions).
void bandLUSolve(benchmark::State & state) {
	const unsigned int n = static_cast<unsigned int>(state.range(0));
	const unsigned int mu = 3, ml = 3;
	ZEBMK::BandMatrix original(n, mu, ml, std::min(n - 1, mu + ml));
	for (unsigned int j = 0; j < n; ++j) {
		double sum = 0;
		for (unsigned int i = j > mu ? j - mu : 0; i <= j + ml && i < n; ++i) {
			if (i != j) {
				original(i, j) = coupling(i, j);
				sum -= coupling(i, j);
			}
		}
		original(j, j) = 1.0 + sum;
	}
	ZEBMK::BandMatrix a = original;
	std::vector<double> b(n);
	for (auto _ : state) {
		std::copy(original.data(), original.data() + original.dataSize(), a.data());
		std::fill(b.begin(), b.end(), 1.0);
		benchmark::DoNotOptimize(a.lu());
		a.backsolve(b.data());
		benchmark::DoNotOptimize(b.data());
		benchmark::ClobberMemory();
	}
}

// The room model's pattern: constructions as chains of 24 elements, the first element of each
// chain coupled to the room air (the last unknown). Symmetric, no transposed index.
ZEBMK::SparseMatrixCSR roomPattern(unsigned int n) {
	const unsigned int room = n - 1;
	const unsigned int chain = 24;
	std::vector<std::vector<unsigned int> > rows(n);
	for (unsigned int i = 0; i < room; ++i) {
		rows[i].push_back(i);
		const bool first = i % chain == 0;
		if (!first)
			rows[i].push_back(i - 1);
		if ((i + 1) % chain != 0 && i + 1 < room)
			rows[i].push_back(i + 1);
		if (first) {
			rows[i].push_back(room);
			rows[room].push_back(i);
		}
	}
	rows[room].push_back(room);
	std::vector<unsigned int> ia(1, 0), ja;
	for (std::vector<unsigned int> & r : rows) {
		std::sort(r.begin(), r.end());
		ja.insert(ja.end(), r.begin(), r.end());
		ia.push_back(static_cast<unsigned int>(ja.size()));
	}
	ZEBMK::SparseMatrixCSR m(n, static_cast<unsigned int>(ja.size()), ia.data(), ja.data());
	for (unsigned int i = 0; i < n; ++i) {
		double sum = 0;
		for (unsigned int k = ia[i]; k < ia[i + 1]; ++k) {
			if (ja[k] != i) {
				m.data()[k] = coupling(i, ja[k]);
				sum -= coupling(i, ja[k]);
			}
		}
		m(i, i) = 1.0 + sum;
	}
	return m;
}

void sparseILUSolve(benchmark::State & state) {
	const unsigned int n = static_cast<unsigned int>(state.range(0));
	const ZEBMK::SparseMatrixCSR original = roomPattern(n);
	ZEBMK::SparseMatrixCSR a = original;
	std::vector<double> b(n);
	for (auto _ : state) {
		std::copy(original.data(), original.data() + original.dataSize(), a.data());
		std::fill(b.begin(), b.end(), 1.0);
		a.ilu();
		a.backsolveILU(b.data());
		benchmark::DoNotOptimize(b.data());
		benchmark::ClobberMemory();
	}
}

// The 300-cell wall's iteration matrix I - gamma*J: a tridiagonal pattern (one-dimensional
// conduction) with the couplings of a cell of 1 mm at the step sizes of its year.
ZEBMK::SparseMatrixCSR wallPattern(unsigned int n) {
	std::vector<unsigned int> ia(1, 0), ja;
	for (unsigned int i = 0; i < n; ++i) {
		for (unsigned int j = i > 0 ? i - 1 : 0; j <= i + 1 && j < n; ++j)
			ja.push_back(j);
		ia.push_back(static_cast<unsigned int>(ja.size()));
	}
	ZEBMK::SparseMatrixCSR m(n, static_cast<unsigned int>(ja.size()), ia.data(), ja.data());
	const double gammaConductance = 50;	// gamma [s] * lambda / (rho c dx^2) [1/s]
	for (unsigned int i = 0; i < n; ++i) {
		for (unsigned int k = ia[i]; k < ia[i + 1]; ++k)
			m.data()[k] = ja[k] == i ? 1.0 + 2 * gammaConductance : -gammaConductance;
	}
	return m;
}

// The preconditioner's solve alone, as GMRES calls it several times per factorisation:
// range(0) is n, range(1) selects the pattern (0 the wall's, 1 the room model's).
void sparseILUBacksolve(benchmark::State & state) {
	const unsigned int n = static_cast<unsigned int>(state.range(0));
	ZEBMK::SparseMatrixCSR a = state.range(1) == 0 ? wallPattern(n) : roomPattern(n);
	a.ilu();
	std::vector<double> b(n);
	for (auto _ : state) {
		std::fill(b.begin(), b.end(), 1.0);
		a.backsolveILU(b.data());
		benchmark::DoNotOptimize(b.data());
		benchmark::ClobberMemory();
	}
}

} // namespace

BENCHMARK(denseLUSolve)->Arg(50)->Arg(200)->Arg(500)->Unit(benchmark::kMicrosecond);
BENCHMARK(bandLUSolve)->Arg(50)->Arg(200)->Arg(2000)->Unit(benchmark::kMicrosecond);
BENCHMARK(sparseILUSolve)->Arg(50)->Arg(200)->Arg(2000)->Unit(benchmark::kMicrosecond);
BENCHMARK(sparseILUBacksolve)->Args({300, 0})->Args({200, 1})->Args({2000, 1});
