#include "RX_ConstructionSolver.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iomanip>
#include <limits>
#include <ostream>
#include <set>

#include <QCoreApplication>

#include "ZEB_Constants.h"
#include "ZEB_Conversions.h"
#include "ZEB_Exception.h"
#include "ZEB_MessageHandlerRegistry.h"
#include "ZEB_OutputFolder.h"
#include "ZEB_StringUtils.h"

#include "RX_Constants.h"
#include "RX_ConstructionType.h"
#include "RX_Material.h"
#include "RX_Mesh.h"
#include "RX_RoomConstruction.h"

namespace RX {

namespace {

/*! Width of the temperature band above TPCMLow over which the latent heat is taken up [K]. */
const double PCM_BAND = 3.0;
/*! How far past a held piece's end its switching function turns positive [K]. */
const double PHASE_HYSTERESIS = 1e-6;
/*! How far the pieces below and above the phase change go on past its ends [K]; the piece on it
	goes on by the same energy. */
const double PHASE_END_REACH = 0.03;

/*! Wanted width of the first cell of every layer [m]. */
const double MAX_FIRST_CELL_WIDTH = 0.0022;
const int MIN_CELLS_PER_LAYER = 3;
const int MAX_CELLS_PER_LAYER = 101;
/*! Half width of the band of water content about a kink of the sorption isotherm over which the
	cells round it, relative to the water content at the kink. An integrator's lagging Jacobian lets a
	cell wander over some multiple of the relative tolerance between two Jacobians: a band of 1 %
	still let hosts give up at 1e-4 and 2e-4 in a wall's test days, from 2 % none did. */
const double BEND_HALF_WIDTH = 0.03;

std::string tr(const char * text) {
	return QCoreApplication::translate("ConstructionSolver", text).toStdString();
}

/*! The wall model; ${BC_LEFT_DECLARATION} and ${BC_LEFT} are replaced by whole lines (with their
	line feed) or by nothing. */
const char * const WALL_TEMPLATE = R"MO(within ${PACKAGE_NAME};
model Wall${NR} "A 1D Wall Model generated from Calovinda"
  type HeatConductionCoefficient = Real(unit = "W/(m2.K)", min = 0) "Effective heat cunduction coefficient";
  type ThermalConductivity = Real(unit = "W/(m.K)", min = 0) "Thermal conductivity";
  parameter Integer n = ${N} "Number of discretization elements";
  parameter Modelica.SIunits.Temperature T0 = ${T0} "Initial temperature";
${BC_LEFT_DECLARATION}  parameter Modelica.SIunits.Density rho[n] = {${RHO}} "Material density";
  parameter Modelica.SIunits.SpecificHeatCapacity cp[n] = {${CP}} "Material specific heat capacity";
  parameter ThermalConductivity lambda[n] = {${LAMBDA}} "Material thermal conductivity";
  parameter Modelica.SIunits.Length dx[n] = {${DX}} "Element discretization";
  parameter HeatConductionCoefficient alpha_left = ${ALPHA_L} "Left heat conduction coefficient";
  parameter HeatConductionCoefficient alpha_right = ${ALPHA_R} "Right heat conduction coefficient";
  parameter Modelica.SIunits.Area A = ${AREA} "Net wall area";
  input Modelica.SIunits.Temperature T_left "Ambient temperature";
  Modelica.SIunits.EnergyDensity u[n] "Energy density of the wall";
  Modelica.SIunits.Temperature T[n] "Wall temperature";
  Modelica.SIunits.Temperature TsurfaceLeft "Left wall surface temperature";
  Modelica.SIunits.Temperature TsurfaceRight "Right wall surface temperature";
  Modelica.SIunits.HeatFlux q[n + 1] "Internal heat conduction flux, q[2] is the flux between elements 1 and 2.";
  Modelica.Thermal.HeatTransfer.Interfaces.HeatPort_a HeatPortRoom "Room side heat flow port" 
    annotation(
      Placement(transformation(extent = {{-10, -10}, {10, 10}}), 
      iconTransformation(extent = {{40, -10}, {60, 10}}))
    );
initial equation
  for i in 1:n loop
    u[i] = rho[i] * cp[i] * T0;
  end for;
equation
  for i in 1:n loop
    u[i] = rho[i] * cp[i] * T[i] "Energy storage relation, element 1";
  end for;
  TsurfaceRight = T[n] - ${W_EX_RIGHT}*(T[n-1] - T[n]);
  TsurfaceLeft = T[1] - ${W_EX_LEFT}*(T[2] - T[1]);
${BC_LEFT}  q[n + 1] = alpha_right * (TsurfaceRight - HeatPortRoom.T) "Right heat conduction boundary condition";
  // heat flux across interior cell interfaces
  for i in 2:n loop
    q[i] = 2 / (dx[i - 1] / lambda[i - 1] + dx[i] / lambda[i]) * (T[i - 1] - T[i]);
  end for;
  for i in 1:n loop
    der(u[i]) = (q[i] - q[i + 1]) / dx[i] "Energy conservation equation";
  end for;
  // mind sign definition, q[n + 1] is positive when heat flows out of right side of construction
  // but HeatPort.Q_flow is positive when heat is flowing into construction
  HeatPortRoom.Q_flow = -q[n + 1] * A;
  annotation(
    Icon(
      coordinateSystem(extent = {{-50, -100}, {50, 100}}, preserveAspectRatio = true, initialScale = 0.1, grid = {2, 2}),
      graphics = {Rectangle(fillColor = {255, 255, 255}, fillPattern = FillPattern.Forward, extent = {{-50, 100}, {-40, -100}}), Rectangle(fillColor = {255, 255, 255}, fillPattern = FillPattern.Backward, extent = {{-40, 100}, {30, -100}}), Rectangle(fillColor = {255, 255, 255}, fillPattern = FillPattern.Vertical, extent = {{30, 100}, {50, -100}})}
    )
  );
end Wall${NR};
)MO";

/*! Default stream formatting (6 significant digits); NaN as the platform writes it. */
std::string number(double value) {
	return ZEB::format_double(value, 6, std::ios_base::fmtflags(), 0);
}

/*! One value per cell, first cell first, joined by ",". */
template <typename F>
std::string cellList(const std::vector<Element> & elements, F value) {
	std::string list;
	for (const Element & e : elements) {
		if (!list.empty())
			list += ",";
		list += number(value(e));
	}
	return list;
}

} // namespace


void ConstructionSolver::init(bool moistureBalance, const RoomConstruction & rc,
							  const std::map<unsigned int, Material> & materials)
{
	const char * const FUNC_ID = "[ConstructionSolver::init]";
	m_moistureBalance = moistureBalance;
	m_rc = &rc;
	try {
		mesh(materials);
	}
	catch (const ZEB::Exception & ex) {
		throw ZEB::Exception(ex, tr("Error during mesh generation."), FUNC_ID);
	}

	double minDx = std::numeric_limits<double>::max();
	double maxDx = 0;
	for (const Element & e : m_elements) {
		minDx = std::min(minDx, e.m_dx);
		maxDx = std::max(maxDx, e.m_dx);
	}
	ZEB::ZEB_Message(ZEB::FormatString("  Mesh generated, n = %1, min_dx = %2 m, max_dx = %3\n")
					 .arg(m_n).arg(minDx).arg(maxDx), ZEB::MSG_PROGRESS, FUNC_ID, 1);

	// Each layer's material once, by the database's own validity rule. Zero or negative values
	// would turn into infinite or NaN derivatives far from here, inside the integrator; a negative
	// latent heat leaves energy densities inside the phase-change band without a temperature; a
	// phase change below 0 C holds the material melted at any room temperature.
	std::set<const Material *> checked;
	for (const Element & e : m_elements) {
		const Material & mat = *e.m_material;
		if (!checked.insert(&mat).second)
			continue;
		const std::string name = mat.name().toStdString();
		const std::string invalid = mat.firstInvalidValue();
		if (!invalid.empty())
			throw ZEB::Exception(ZEB::FormatString(tr("Material '%1' (Id %2) has %3.")).arg(name).arg(mat.m_id)
				.arg(invalid), FUNC_ID);
		if (!m_moistureBalance)
			continue;
		if (!mat.m_sorptionIsotherm.m_valid || !mat.m_reversedSorptionIsotherm.m_valid)
			throw ZEB::Exception(ZEB::FormatString(tr("Material '%1' not parametrized for moisture calculation: its "
				"sorption isotherm needs the water contents w80 (at 80 % relative humidity) and wsat (at saturation) "
				"in kg/m3, both above 0.")).arg(name), FUNC_ID);
		if (!(mat.m_mu > 0))
			throw ZEB::Exception(ZEB::FormatString(tr("Material '%1' has a vapour diffusion resistance factor "
				"of %2, which must be positive.")).arg(name).arg(mat.m_mu), FUNC_ID);
	}
}


void ConstructionSolver::mesh(const std::map<unsigned int, Material> & materials) {
	const char * const FUNC_ID = "[ConstructionSolver::mesh]";
	const ConstructionType * ct = (m_rc != nullptr) ? m_rc->m_constructionType : nullptr;
	if (ct == nullptr)
		throw ZEB::Exception(tr("Construction has no construction type."), FUNC_ID);
	if (ct->m_d.empty())
		throw ZEB::Exception(tr("Construction type has no layers."), FUNC_ID);
	if (ct->m_d.size() != ct->m_materialIds.size())
		throw ZEB::Exception(ZEB::FormatString(tr("Construction type has %1 layer widths but %2 material ids."))
			.arg(static_cast<unsigned long>(ct->m_d.size())).arg(static_cast<unsigned long>(ct->m_materialIds.size())),
			FUNC_ID);

	const Mesh grid(Mesh::TWO_SIDED, 2.0, 1.0);
	m_elements.clear();
	m_n = 0;
	double x0 = 0;
	double minFirstDx = 1000.0;
	std::vector<double> widths;
	std::vector<double> centres;
	for (std::size_t layer = 0; layer < ct->m_d.size(); ++layer) {
		const double d = ct->m_d[layer];
		const unsigned int layerNumber = static_cast<unsigned int>(layer + 1);
		if (!(d > 0))
			throw ZEB::Exception(ZEB::FormatString(tr("Layer #%1 has a width of %2 m, which must be positive."))
				.arg(layerNumber).arg(d), FUNC_ID);
		if (d > 1.0 || d < 0.001)
			ZEB::ZEB_Message(ZEB::FormatString(tr("Layer #%1 has a width of %2 m, which may be an input error."))
							 .arg(layerNumber).arg(d), ZEB::MSG_WARNING, FUNC_ID, -1);

		for (int N = MIN_CELLS_PER_LAYER; ; ++N) {
			grid.generate(N, x0, x0 + d, widths, centres);
			if (widths[0] <= MAX_FIRST_CELL_WIDTH || N >= MAX_CELLS_PER_LAYER)
				break;
		}
		minFirstDx = std::min(minFirstDx, widths[0]);

		const auto it = materials.find(ct->m_materialIds[layer]);
		if (it == materials.end())
			throw ZEB::Exception(ZEB::FormatString(tr("Material with Id '%1' not defined."))
				.arg(ct->m_materialIds[layer]), FUNC_ID);

		for (std::size_t j = 0; j < widths.size(); ++j) {
			Element e;
			e.m_index = m_n + static_cast<unsigned int>(j);
			e.m_dx = widths[j];
			e.m_x = centres[j];
			e.m_material = &it->second;
			m_elements.push_back(e);
		}
		m_n += static_cast<unsigned int>(widths.size());
		x0 += d;
	}

	m_thickness = x0;
	m_T.assign(m_n, 0.0);
	m_RH.assign(m_n, 0.0);
	m_pv.assign(m_n, 0.0);
	m_q.assign(m_n + 1, 0.0);
	m_j.assign(m_n + 1, 0.0);
	const unsigned int m = m_moistureBalance ? 2 : 1;
	m_reusedStates.assign(m*m_n, 0.0);
	m_reusedDivergences.assign(m*m_n, 0.0);
	m_reusedStatesValid = false;
	m_reusedDivergencesValid = false;
	m_outerExtrapolationWeight = m_elements[0].m_dx/(m_elements[0].m_dx + m_elements[1].m_dx);
	m_innerExtrapolationWeight = m_elements[m_n - 1].m_dx/(m_elements[m_n - 2].m_dx + m_elements[m_n - 1].m_dx);

	// here rather than in init(), so that the coefficients always match the cells, even when the
	// cells are rebuilt on their own
	precompute();

	ZEB::ZEB_Message(ZEB::FormatString("  Min DX = %1 m\n").arg(minFirstDx), ZEB::MSG_PROGRESS, FUNC_ID, 3);
}


double ConstructionSolver::MoistureStorage::relativeHumidity(double w) const {
	for (const Bend & b : m_bends) {
		if (w > b.m_wLow && w < b.m_wHigh) {
			const double z = w - b.m_wLow;
			return b.m_RHLow + z*(b.m_slope + b.m_curvature*z);
		}
	}
	return m_material->m_reversedSorptionIsotherm.value(w);
}


double ConstructionSolver::MoistureStorage::moistureContent(double RH) const {
	for (const Bend & b : m_bends) {
		if (RH > b.m_RHLow && RH < b.m_RHHigh) {
			// the parabola's root in the band, in the form without cancellation
			const double d = RH - b.m_RHLow;
			return b.m_wLow + 2*d/(b.m_slope + std::sqrt(b.m_slope*b.m_slope + 4*b.m_curvature*d));
		}
	}
	return m_material->m_sorptionIsotherm.value(RH);
}


ConstructionSolver::MoistureStorage::MoistureStorage(const Material & material) :
	m_material(&material)
{
	// a material without a valid inverse isotherm is refused by init(), after the mesh
	const ZEB::LinearSpline & inverse = material.m_reversedSorptionIsotherm;
	if (!inverse.m_valid)
		return;
	const std::vector<double> & w = inverse.m_x;
	const std::vector<double> & slope = inverse.m_slope;
	for (std::size_t k = 1; k + 1 < w.size(); ++k) {
		const double below = slope[k - 1];
		const double above = slope[k];
		// no kink (as at 80 % of an isotherm from w80 alone): nothing to round
		if (!(below > 0 && above > 0) || std::abs(above - below) <= 1e-9*std::max(below, above))
			continue;
		const double h = std::min(BEND_HALF_WIDTH*w[k], 0.5*std::min(w[k] - w[k - 1], w[k + 1] - w[k]));
		if (!(h > 0))
			continue;
		Bend b;
		b.m_wLow = w[k] - h;
		b.m_wHigh = w[k] + h;
		b.m_RHLow = inverse.m_y[k] - below*h;
		b.m_RHHigh = inverse.m_y[k] + above*h;
		b.m_slope = below;
		b.m_curvature = (above - below)/(4*h);
		m_bends.push_back(b);
	}
}


void ConstructionSolver::precompute() {
	m_cells.resize(m_n);
	m_invDx.resize(m_n);
	m_storage.clear();
	for (unsigned int i = 0; i < m_n; ++i) {
		const Material & mat = *m_elements[i].m_material;
		CellCoefficients & c = m_cells[i];
		if (m_moistureBalance) {
			unsigned int k = 0;
			while (k < m_storage.size() && m_storage[k].m_material != &mat)
				++k;
			if (k == m_storage.size())
				m_storage.emplace_back(mat);
			c.m_storage = k;
		}
		c.m_rhoC = mat.m_rho*mat.m_cT;
		c.m_invRhoC = 1.0/c.m_rhoC;
		c.m_latent = mat.m_rho*mat.m_HPCM;
		c.m_TLow = mat.m_TPCMLow + ZEB::KELVIN_OFFSET;
		c.m_uLow = c.m_rhoC*c.m_TLow;
		c.m_uHigh = c.m_rhoC*(c.m_TLow + PCM_BAND) + c.m_latent;
		c.m_invPCMCapacity = (c.m_latent != 0) ? 1.0/(c.m_latent/PCM_BAND + c.m_rhoC) : 0.0;
		m_invDx[i] = 1.0/m_elements[i].m_dx;
	}

	const unsigned int faces = m_n - 1;
	m_faceConductance.resize(faces);
	m_facePermeance.assign(m_moistureBalance ? faces : 0, 0.0);
	for (unsigned int i = 0; i < faces; ++i) {
		const Element & a = m_elements[i];
		const Element & b = m_elements[i + 1];
		// half cells in series: exact for a piecewise-linear profile in steady state
		m_faceConductance[i] = 1.0/(0.5*(a.m_dx/a.m_material->m_lambda + b.m_dx/b.m_material->m_lambda));
		if (m_moistureBalance) {
			const double mu = (a.m_dx*a.m_material->m_mu + b.m_dx*b.m_material->m_mu)/(a.m_dx + b.m_dx);
			const double delta = ZEB::DV_AIR/(mu*ZEB::R_VAPOR*ZEB::T_REF_23);
			m_facePermeance[i] = delta/(0.5*(a.m_dx + b.m_dx));
		}
	}
	// what holds the room-side cell where it rests: its neighbour, and the room through the
	// surface, which follows the cell as the extrapolation from both cells does
	const double toRoom = m_rc != nullptr && m_rc->m_R_ui > 0 ? (1 + m_innerExtrapolationWeight)/m_rc->m_R_ui : 0.0;
	m_roomSideCellConductance = m_faceConductance[faces - 1] + toRoom;
}


void ConstructionSolver::computeIC(double T, double RH, double * y) {
	const unsigned int m = m_moistureBalance ? 2 : 1;
	m_reusedStatesValid = false;
	m_reusedDivergencesValid = false;
	for (unsigned int i = 0; i < m_n; ++i) {
		const CellCoefficients & c = m_cells[i];
		double u = c.m_rhoC*T;
		if (c.m_latent != 0 && T > c.m_TLow) {
			if (T >= c.m_TLow + PCM_BAND)
				u += c.m_latent;
			else
				u += c.m_latent*(T - c.m_TLow)/PCM_BAND;
		}
		y[m*i] = u;
		if (m_moistureBalance)
			y[m*i + 1] = m_storage[c.m_storage].moistureContent(RH);
		m_T[i] = T;
	}
}


void ConstructionSolver::decompose(const double * y, bool reuse) {
	const unsigned int m = m_moistureBalance ? 2 : 1;
	const std::size_t count = m_reusedStates.size();
	if (reuse && m_reusedStatesValid && std::memcmp(y, m_reusedStates.data(), count*sizeof(double)) == 0)
		return;
	m_reusedDivergencesValid = false;
	m_reusedStatesValid = reuse;
	if (reuse)
		std::copy(y, y + count, m_reusedStates.begin());
	for (unsigned int i = 0; i < m_n; ++i) {
		const CellCoefficients & c = m_cells[i];
		const double u = y[m*i];
		// a held cell stays on its piece, continued beyond its ends
		const std::uint8_t held = i + 1 == m_n ? m_heldPhase : PHASE_FREE;
		if (held != PHASE_FREE) {
			if (held == PHASE_ABOVE)
				m_T[i] = (u - c.m_uHigh)*c.m_invRhoC + c.m_TLow + PCM_BAND;
			else if (held == PHASE_WITHIN)
				m_T[i] = (u - c.m_uLow)*c.m_invPCMCapacity + c.m_TLow;
			else
				m_T[i] = u*c.m_invRhoC;
		}
		else if (c.m_latent != 0 && u > c.m_uLow) {
			if (u >= c.m_uHigh)
				m_T[i] = (u - c.m_uHigh)*c.m_invRhoC + c.m_TLow + PCM_BAND;
			else
				m_T[i] = (u - c.m_uLow)*c.m_invPCMCapacity + c.m_TLow;
		}
		else
			m_T[i] = u*c.m_invRhoC;
	}
	if (!m_moistureBalance)
		return;
	for (unsigned int i = 0; i < m_n; ++i) {
		m_RH[i] = m_storage[m_cells[i].m_storage].relativeHumidity(y[2*i + 1]);
		m_pv[i] = p_sat(m_T[i])*m_RH[i];
	}
}


bool ConstructionSolver::holdPhase(const double * y, const double * ydot, bool joining) {
	if (!watchesPhase())
		return false;
	const unsigned int i = m_n - 1;
	const unsigned int m = m_moistureBalance ? 2 : 1;
	const CellCoefficients & c = m_cells[i];
	if (m_heldPhase != PHASE_FREE && !(pastHeldPhaseEnd(ydot[m*i], joining) > 0))
		return false;
	// joining, from within the energy by which the pieces go on past the end that its point of
	// rest lies past (see pastHeldPhaseEnd())
	double u = y[m*i];
	if (joining && m_heldPhase != PHASE_FREE) {
		const bool upwards = m_heldPhase == PHASE_BELOW
							 || (m_heldPhase == PHASE_WITHIN && restingTemperature(ydot[m*i]) > c.m_TLow + PCM_BAND);
		u += (upwards ? 1 : -1)*PHASE_END_REACH*c.m_rhoC;
	}
	const std::uint8_t piece = u <= c.m_uLow ? PHASE_BELOW : (u >= c.m_uHigh ? PHASE_ABOVE : PHASE_WITHIN);
	if (piece == m_heldPhase)
		return false;
	m_heldPhase = piece;
	m_reusedStatesValid = false;
	m_reusedDivergencesValid = false;
	return true;
}


double ConstructionSolver::phaseSwitchingFunction(const double * ydot) const {
	if (m_heldPhase == PHASE_FREE)
		return -1;
	const unsigned int m = m_moistureBalance ? 2 : 1;
	return pastHeldPhaseEnd(ydot[m*(m_n - 1)], false) - PHASE_HYSTERESIS;
}


double ConstructionSolver::restingTemperature(double uDot) const {
	const unsigned int i = m_n - 1;
	return m_roomSideCellConductance > 0 ? m_T[i] + uDot*m_elements[i].m_dx/m_roomSideCellConductance : m_T[i];
}


double ConstructionSolver::pastHeldPhaseEnd(double uDot, bool joining) const {
	const unsigned int i = m_n - 1;
	const CellCoefficients & c = m_cells[i];
	// The cell's temperature on its held piece, and where it would rest with its neighbour and
	// the room as they are: off the melting the room-side cell follows that point within
	// seconds, and a host's error moves the cell, not the point. Judged by the cell's own rate,
	// a cell that a 1e-4 host carried past the melting's lower end went on below it for tenths
	// of a kelvin. The pieces off the melting go on past its ends for PHASE_END_REACH: a cell
	// resting at an end for hours (the room at 23.5 C over 20.5-23.5 C of melting) lies within a
	// 1e-4 host's error of it, some 0.06 K of such a cell, and switched at every few restarts.
	//
	// The piece on the melting goes on past its ends by the same energy, rho c times the reach,
	// a thousandth of a kelvin of its own temperature: a cell taken onto it short of an end
	// stays there while its point of rest lies beyond that end.
	//
	// Joining another event, a cell whose point of rest lies past an end goes over it once it
	// lies within that energy of it, on either side (holdPhase()): it is on its way there, and
	// the reach's margin is the host's error. Walls of one kind come to an end within a tenth of
	// a millikelvin of one another at 1e-6, which a 1e-4 host spreads by some hundredths: four
	// walls of an office left the melting one by one within seven seconds, four events and
	// restarts where a 1e-6 host took one; and as a cooler at the melting's top came on, four
	// walls left the top with it and the fifth, short of the end by the host's error, at another
	// of the cooler's switches seconds later (a wall switched off the melting's top moves its
	// surface by nearly the reach, some watts on a large wall).
	const double T = m_T[i];
	const double rest = restingTemperature(uDot);
	const double TLow = c.m_TLow;
	const double THigh = c.m_TLow + PCM_BAND;
	const double lowest = joining ? rest : std::min(T, rest);
	const double highest = joining ? rest : std::max(T, rest);
	const double reach = joining ? 0.0 : PHASE_END_REACH;
	if (m_heldPhase == PHASE_BELOW)
		return lowest - TLow - reach;
	if (m_heldPhase == PHASE_ABOVE)
		return THigh - highest - reach;
	const double withinReach = reach*c.m_rhoC*c.m_invPCMCapacity;
	return std::max(lowest - THigh - withinReach, TLow - highest - withinReach);
}


void ConstructionSolver::computeDivergences(double qConvInside, double qRadInside, double jVaporInside,
											double qEnthalpyInside, double qShortWaveOutside, double TOutside,
											double TRoom, double pvOutside, double pvRoom, double * ydot, bool reuse)
{
	if (!reuse) {
		m_reusedDivergencesValid = false;
		divergences(qConvInside, qRadInside, jVaporInside, qShortWaveOutside, TOutside, TRoom, pvOutside, pvRoom, ydot);
		return;
	}
	const double keys[REUSE_KEYS] = {qConvInside, qRadInside, jVaporInside, qEnthalpyInside, qShortWaveOutside,
									 TOutside, TRoom, pvOutside, pvRoom, m_rc->m_zoneT, m_rc->m_zoneRH};
	if (m_reusedDivergencesValid && std::memcmp(keys, m_reusedKeys, sizeof(keys)) == 0) {
		std::copy(m_reusedDivergences.begin(), m_reusedDivergences.end(), ydot);
		return;
	}
	m_reusedDivergencesValid = false;
	divergences(qConvInside, qRadInside, jVaporInside, qShortWaveOutside, TOutside, TRoom, pvOutside, pvRoom, ydot);
	std::memcpy(m_reusedKeys, keys, sizeof(keys));
	std::copy(ydot, ydot + m_reusedDivergences.size(), m_reusedDivergences.begin());
	m_reusedDivergencesValid = true;
}


void ConstructionSolver::divergences(double qConvInside, double qRadInside, double jVaporInside,
									 double qShortWaveOutside, double TOutside, double TRoom, double pvOutside,
									 double pvRoom, double * ydot)
{
	const RoomConstruction & rc = *m_rc;
	double TBoundary;
	double R;
	double qShortWave = 0;
	double pvBoundary = 0;
	switch (rc.m_type) {
		case RoomConstruction::Outside:
			TBoundary = TOutside;
			R = rc.m_R_ue;
			qShortWave = qShortWaveOutside;
			pvBoundary = pvOutside;
			break;
		case RoomConstruction::Inside:
			TBoundary = TRoom;
			R = rc.m_R_ui;
			pvBoundary = pvRoom;
			break;
		case RoomConstruction::FixedTemperature:
			TBoundary = rc.m_zoneT;
			R = rc.m_R_ue;
			if (m_moistureBalance)
				pvBoundary = rc.m_zoneRH*p_sat(rc.m_zoneT);
			break;
		default:
			throw ZEB::Exception("Invalid Construction Type!", "[ConstructionSolver::computeDivergences]");
	}

	const unsigned int n = m_n;
	double * const q = m_q.data();
	const double * const T = m_T.data();

	m_outerHeatFlux = (TBoundary - outsideSurfaceTemperature())/R;
	m_outerShortWaveFlux = qShortWave;
	q[0] = m_outerHeatFlux + qShortWave;
	m_innerConvectiveFlux = qConvInside;
	m_innerRadiantFlux = qRadInside;
	q[n] = -(qConvInside + qRadInside);
	const double * const G = m_faceConductance.data();
	for (unsigned int i = 0; i + 1 < n; ++i)
		q[i + 1] = (T[i] - T[i + 1])*G[i];

	const double * const invDx = m_invDx.data();
	if (!m_moistureBalance) {
		for (unsigned int i = 0; i < n; ++i)
			ydot[i] = (q[i] - q[i + 1])*invDx[i];
		return;
	}

	double * const j = m_j.data();
	const double * const pv = m_pv.data();
	m_outerVaporFlux = rc.m_beta_e*(pvBoundary - pv[0]);
	j[0] = m_outerVaporFlux;
	m_innerVaporFlux = -jVaporInside;
	j[n] = -jVaporInside;
	const double * const P = m_facePermeance.data();
	for (unsigned int i = 0; i + 1 < n; ++i)
		j[i + 1] = (pv[i] - pv[i + 1])*P[i];
	for (unsigned int i = 0; i < n; ++i) {
		ydot[2*i] = (q[i] - q[i + 1])*invDx[i];
		ydot[2*i + 1] = (j[i] - j[i + 1])*invDx[i];
	}
}


void ConstructionSolver::appendTemperatureProfile(std::ostream & out) const {
	for (double T : m_T)
		out << std::setw(12) << std::right << T - ZEB::KELVIN_OFFSET << '\t';
	out << std::endl;
}

void ConstructionSolver::export2Modelica(int nr, ZEB::OutputFolder & package, const std::string & packageName) const {
	const char * const FUNC_ID = "[ConstructionSolver::export2Modelica]";
	// an uninitialised solver has neither cells to extrapolate from nor a construction
	if (m_rc == nullptr || m_n < 2 || m_elements.size() != m_n || m_T.size() != m_n)
		throw ZEB::Exception(ZEB::FormatString(tr("Cannot export wall model #%1: it needs an initialised "
			"construction with at least 2 cells, got %2.")).arg(nr).arg(static_cast<unsigned int>(m_elements.size())), FUNC_ID);
	for (const Element & e : m_elements)
		if (e.m_material == nullptr)
			throw ZEB::Exception(ZEB::FormatString(tr("Cannot export wall model #%1: cell %2 has no material."))
								 .arg(nr).arg(e.m_index), FUNC_ID);

	const std::pair<const char *, std::string> substitutions[] = {
		{"${NR}", ZEB::val2string(nr)},
		{"${N}", ZEB::val2string(m_n)},
		{"${T0}", number(m_T[0])},
		{"${RHO}", cellList(m_elements, [](const Element & e) { return e.m_material->m_rho; })},
		{"${LAMBDA}", cellList(m_elements, [](const Element & e) { return e.m_material->m_lambda; })},
		{"${CP}", cellList(m_elements, [](const Element & e) { return e.m_material->m_cT; })},
		{"${DX}", cellList(m_elements, [](const Element & e) { return e.m_dx; })},
		{"${ALPHA_L}", number(1/m_rc->m_R_ue)},
		{"${ALPHA_R}", number(1/m_rc->m_R_ui)},
		{"${AREA}", number(m_rc->m_AW)},
		{"${PACKAGE_NAME}", packageName},
		{"${W_EX_RIGHT}", number(m_innerExtrapolationWeight)},
		{"${W_EX_LEFT}", number(m_outerExtrapolationWeight)}
	};
	std::string text = WALL_TEMPLATE;
	for (const auto & s : substitutions)
		text = ZEB::replace_string(text, s.first, s.second, ZEB::REPLACE_ALL);

	std::string bcLeft;
	std::string bcLeftDeclaration;
	switch (m_rc->m_type) {
		case RoomConstruction::Outside:
			bcLeft = "  q[1] = alpha_left * (T_left - TsurfaceLeft) \"Left heat conduction boundary condition\";\n";
			break;
		case RoomConstruction::Inside:
			// both surfaces face the same room
			bcLeft = "  q[1] = alpha_left * (HeatPortRoom.T - TsurfaceLeft) "
					 "\"Left heat conduction boundary condition, inside (to same room)\";\n";
			break;
		case RoomConstruction::FixedTemperature:
			bcLeft = "  q[1] = alpha_left * (T_zone - TsurfaceLeft) "
					 "\"Left heat conduction boundary condition, to fixed zone\";\n";
			bcLeftDeclaration = "  parameter Modelica.SIunits.Temperature T_zone = ${T_ZONE} \"Adjacent zone temperature\";\n";
			break;
		default:
			throw ZEB::Exception(ZEB::FormatString(tr("Cannot export wall model #%1: invalid construction type %2."))
								 .arg(nr).arg(static_cast<int>(m_rc->m_type)), FUNC_ID);
	}
	text = ZEB::replace_string(text, "${BC_LEFT}", bcLeft, ZEB::REPLACE_ALL);
	text = ZEB::replace_string(text, "${BC_LEFT_DECLARATION}", bcLeftDeclaration, ZEB::REPLACE_ALL);
	text = ZEB::replace_string(text, "${T_ZONE}", number(m_rc->m_zoneT), ZEB::REPLACE_ALL);

	package.add("Wall" + ZEB::val2string(nr) + ".mo", text + "\n");
	ZEB::ZEB_Message(ZEB::FormatString("Writing wall model 'Wall%1.mo'\n").arg(nr), ZEB::MSG_PROGRESS, FUNC_ID, 1);
}

} // namespace RX
