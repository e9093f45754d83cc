#ifndef EnergyBalanceH
#define EnergyBalanceH

#include "RX_CalovindaModel.h"

// The room's heat balance as the tests check it: what the room air and walls hold, and what
// crosses their boundary.
namespace EnergyBalance {

/*! Energy held by room air and walls [J] for the states y, or its rate of change [W] for their
	derivatives. */
inline double stored(const RX::CalovindaModel & model, const double * y) {
	double E = y[model.m_n - 1];
	for (unsigned int i = 0; i < model.m_nConstructions; ++i) {
		const RX::ConstructionSolver & solver = model.m_constructionSolvers[i];
		for (unsigned int c = 0; c < solver.m_n; ++c)
			E += model.m_constructions[i].m_AW*y[model.m_elementOffsets[i] + c]*solver.m_elements[c].m_dx;
	}
	return E;
}

/*! Every heat flow that crosses the boundary of room air and walls [W], from the model's last
	evaluation: each source counted whole, however it is split between air and surfaces. */
inline double boundaryHeatFlow(const RX::CalovindaModel & model) {
	double Q = model.m_heatingLoad + model.m_coolingLoad + model.m_mechanicalVentilationHeatLoad + model.m_solarGains
			+ model.m_equipmentLoad + model.m_personLoad + model.m_naturalVentilationHeatLoad
			+ model.m_windowTransmissionTotal + model.m_externalHeatInput;
	for (unsigned int i = 0; i < model.m_nConstructions; ++i) {
		const RX::ConstructionSolver & solver = model.m_constructionSolvers[i];
		Q += model.m_constructions[i].m_AW*(solver.m_outerHeatFlux + solver.m_outerShortWaveFlux);
	}
	return Q;
}

} // namespace EnergyBalance

#endif // EnergyBalanceH
