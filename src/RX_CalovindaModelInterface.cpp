#include "RX_CalovindaModelInterface.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>

#include "KADRIX_IntegratorErrorControlled.h"
#include "KADRIX_JacobianSparseCSR.h"
#include "KADRIX_LESBTridiag.h"
#include "KADRIX_LESBand.h"
#include "KADRIX_LESBiCGStab.h"
#include "KADRIX_LESDense.h"
#include "KADRIX_LESGMRES.h"
#include "KADRIX_LESKLU.h"
#include "KADRIX_PrecondBand.h"
#include "KADRIX_PrecondILU.h"
#include "ZEB_Constants.h"
#include "ZEB_Conversions.h"
#include "ZEB_Exception.h"
#include "ZEB_FormatString.h"
#include "ZEB_MessageHandlerRegistry.h"
#include "ZEB_StringUtils.h"
#include "ZEB_Time.h"

namespace RX {

namespace {

const char * const LES_LOCATION = "[CalovindaModelInterface::lesInterface]";

} // namespace


CalovindaModelInterface::CalovindaModelInterface() :
	m_abort(false),
	m_lesSolver(nullptr),
	m_jacobian(nullptr),
	m_preconditioner(nullptr),
	m_controllerPieces(PIECES_UNKNOWN),
	m_jacobianUpdateRequested(false),
	m_climateTime(std::numeric_limits<double>::quiet_NaN()),
	m_ruleChangeAhead(std::numeric_limits<double>::infinity())
{
}


CalovindaModelInterface::~CalovindaModelInterface() {
	delete m_lesSolver;
	delete m_preconditioner;
	delete m_jacobian;
}


unsigned int CalovindaModelInterface::n() const {
	return m_n;
}


const double * CalovindaModelInterface::y0() const {
	return m_y.data();
}


double CalovindaModelInterface::t0() const {
	return m_room.m_simulationStartTime;
}


double CalovindaModelInterface::dt0() const {
	return 1.0;
}


double CalovindaModelInterface::tEnd() const {
	return m_room.runEndTime();
}


KADRIX::ModelInterface::CalculationResult CalovindaModelInterface::setTime(double t) {
	// the hour of the year is undefined before the start of the first year
	if (!(t >= 0) || !std::isfinite(t))
		return CalculationAbort;
	m_t = t;
	setRuleTime(t < m_ruleChangeAhead ? t : m_ruleChangeAhead - 1);
	// every Newton iteration of a step, and stepCompleted after it, evaluates the model again at
	// the step's time: the climate, a function of time alone, is still in place
	if (t != m_climateTime) {
		updateClimate();
		m_climateTime = t;
	}
	DIN4108_2Assessment & din = m_room.m_din4108_2Assessment;
	if (din.m_active && din.m_lastVentilationUpdate == -1.0) {
		updateAssessmentVentilation(t/3600);
		din.m_lastVentilationUpdate = std::fmod(t, ZEB::SECONDS_PER_YEAR);
	}
	return CalculationSuccess;
}


KADRIX::ModelInterface::CalculationResult CalovindaModelInterface::setY(const double * y) {
	// writeOutputs(t0(), y0()) hands in the model's own vector
	if (y != m_y.data())
		std::copy(y, y + m_n, m_y.begin());
	updateStates();
	updateLoads();
	updateDerivatives();
	return CalculationSuccess;
}


KADRIX::ModelInterface::CalculationResult CalovindaModelInterface::ydot(double * ydot) {
	if (m_abort)
		return CalculationAbort;
	std::copy(m_ydot.begin(), m_ydot.end(), ydot);
	return CalculationSuccess;
}


void CalovindaModelInterface::updateAssessmentVentilation(double tRules) {
	m_room.m_din4108_2Assessment.updateVentilationAirChange(m_TRoom - ZEB::KELVIN_OFFSET, m_TOut - ZEB::KELVIN_OFFSET, tRules, &m_room);
}


bool CalovindaModelInterface::switchAssessmentVentilation(bool atEvent) {
	DIN4108_2Assessment & din = m_room.m_din4108_2Assessment;
	if (atEvent ? din.ventilationDwellingAfter(m_t) : din.ventilationDwelling(m_t))
		return false;
	const double aOld = din.m_airChange;
	updateAssessmentVentilation(atEvent ? DIN4108_2Assessment::timeRulesAfter(m_t/3600) : m_t/3600);
	const double aNew = din.m_airChange;
	// while the rate stays, the update is repeated at every step
	if (!(aOld + ZEB::NEAR_ZERO < aNew || aNew + ZEB::NEAR_ZERO < aOld))
		return false;
	din.m_lastVentilationUpdate = m_t;
	return true;
}


void CalovindaModelInterface::writeOutputs(double t, const double * y) {
	if (setTime(t) != CalculationSuccess)
		throw ZEB::Exception(ZEB::FormatString("Cannot evaluate the model at time %1 s.").arg(t),
							 "[CalovindaModelInterface::writeOutputs]");
	setY(y);
	DIN4108_2Assessment & din = m_room.m_din4108_2Assessment;
	if (din.m_active && !din.ventilationDwelling(t))
		updateAssessmentVentilation(t/3600);
	m_outputManager.appendOutputs();
}


void CalovindaModelInterface::stepCompleted(double t, const double * y) {
	if (setTime(t) != CalculationSuccess)
		throw ZEB::Exception(ZEB::FormatString("Cannot evaluate the model at time %1 s.").arg(t),
							 "[CalovindaModelInterface::stepCompleted]");
	setY(y);
	m_outputManager.integrateOutputs(t);
	// a step that ends on a change of the schedules or time rules was solved, and its fluxes are
	// counted, with the rules of before; from its end on the new ones hold
	if (t >= m_ruleChangeAhead) {
		m_ruleChangeAhead = std::numeric_limits<double>::infinity();
		setTime(t);
		setY(y);
	}

	// An iteration matrix that still holds the old piece's gain (44.6 kW/K on the room air for the
	// example's cooling: a time constant of seconds instead of minutes) damps the first Newton
	// correction after a switch tenfold; the step is accepted on the old convergence rate and the
	// room air, one component of the error norm among hundreds, keeps an error of up to 0.7 K.
	const SwitchPieces switches = switchPieces();
	const std::uint32_t pieces = switches.code();
	if (m_controllerPieces != PIECES_UNKNOWN && pieces != m_controllerPieces)
		m_jacobianUpdateRequested = true;
	// On its step the natural ventilation's air change turns with the room air, kilowatts per
	// kelvin on the room air at a few air changes: a matrix kept from the step's entry misses it,
	// the steps there erred by millikelvins, and whether the room tipped across a step that falls
	// as it warms came to depend on the communication step (2.3 K for an hour).
	if (switches.m_naturalVentilationRise.m_stage == NaturalVentilationModel::RISE_STEP)
		m_jacobianUpdateRequested = true;
	m_controllerPieces = pieces;
	m_tippingLimit = tippingStep(switches, true);
	const double slopes = controllerSlopes();

	const DIN4108_2Assessment & din = m_room.m_din4108_2Assessment;
	// A gain rises as far as the room air would rest within its raise depth, in both interfaces
	// (model exchange also at its events): the gain a room ends with after the start, or after a
	// set point's step, then depends neither on the communication step nor on the integrator's
	// or a host's steps. Raised at the room air itself it rose once for every step taken while the
	// air recovered: 53.5 kW/K in co-simulation, 64.2 kW/K in steps of a second and 44.6 kW/K
	// in model exchange for one heater, whose room then lay at noon 4-6 mK apart, enough to decide
	// whether a falling air change tipped it.
	raiseGainsToRest(switches.m_heating, switches.m_cooling);
	if (din.m_active)
		switchAssessmentVentilation(false);
	if (controllerSlopes() != slopes)
		m_jacobianUpdateRequested = true;

	const double theta = m_TRoom - ZEB::KELVIN_OFFSET;
	const double airChange = m_airChangeRate;
	OutputManager & out = m_outputManager;
	if (t == 0.0) {
		out.m_minRoomAirTemperature = out.m_maxRoomAirTemperature = theta;
		out.m_minAirChangeRate = out.m_maxAirChangeRate = airChange;
	}
	else {
		out.m_minRoomAirTemperature = std::min(out.m_minRoomAirTemperature, theta);
		out.m_maxRoomAirTemperature = std::max(out.m_maxRoomAirTemperature, theta);
		out.m_minAirChangeRate = std::min(out.m_minAirChangeRate, airChange);
		out.m_maxAirChangeRate = std::max(out.m_maxAirChangeRate, airChange);
	}

	// The room air has no condensation: its vapour stays whatever the temperature, so that its
	// relative humidity can pass 100 %. The user hears of it once, at the first step that does,
	// also in the log, which takes no message of level 0.
	if (m_room.m_moistureBalanceEnabled && !m_saturationReported && m_RHRoom > 1) {
		m_saturationReported = true;
		const long minutes = static_cast<long>(std::floor(t/60));
		char clock[16];
		std::snprintf(clock, sizeof(clock), "%02ld:%02ld", minutes/60 % 24, minutes % 60);
		ZEB::ZEB_Message(ZEB::FormatString("Room air relative humidity passes 100 % (%1 %) at t = %2 s (day %3, %4): "
										   "the model has no condensation in the room air.")
						 .arg(m_RHRoom*100, 0, 'f', 1).arg(t, 0, 'f', 0).arg(static_cast<int>(minutes/1440))
						 .arg(std::string(clock)),
						 ZEB::MSG_WARNING, "[CalovindaModelInterface::stepCompleted]", -1);
	}
}


bool CalovindaModelInterface::takeJacobianUpdateRequest() {
	const bool requested = m_jacobianUpdateRequested;
	m_jacobianUpdateRequested = false;
	return requested;
}


CalovindaModel::SwitchPieces CalovindaModelInterface::switchPiecesAt(double t, const double * y) {
	if (setTime(t) != CalculationSuccess)
		throw ZEB::Exception(ZEB::FormatString("Cannot evaluate the model at time %1 s.").arg(t),
							 "[CalovindaModelInterface::switchPiecesAt]");
	std::copy(y, y + m_n, m_y.begin());
	updateStates();
	return switchPieces();
}


void CalovindaModelInterface::jacobianBuilt(double t, const double * y) {
	m_jacobianPieces = switchPiecesAt(t, y);
}


unsigned int CalovindaModelInterface::equationsOffMatrixPiece(double t, const double * y, unsigned int * rows) {
	// A matrix that lacks a gain the equations have makes the corrections overshoot, which the
	// integrator's test sees. One that holds a gain they have no longer damps them as much as the
	// gain stiffens the room air: a heater at 500 kW/K that the matrix took from a predicted state
	// beyond a switch off shrank them some 15-fold in a heavy room, and for the better part of an
	// hour every step converged at once to a room air swinging between 21.0 and 21.5 C, which a
	// minute's steps never saw (0.35 K off them at the next hour).
	const SwitchPieces & matrix = m_jacobianPieces;
	const auto heldGain = [](ControllerPiece p) { return p == PIECE_PROPORTIONAL; };
	if (!(heldGain(matrix.m_heating) || heldGain(matrix.m_cooling) || heldGain(matrix.m_dehumidification) ||
		  heldGain(matrix.m_ventilationCooling)))
		return 0;
	const SwitchPieces pieces = switchPiecesAt(t, y);
	const auto lost = [&heldGain](ControllerPiece inMatrix, ControllerPiece now) { return heldGain(inMatrix) && !heldGain(now); };
	unsigned int count = 0;
	// the heating, cooling and ventilation's cooling act on the room air's energy, the
	// dehumidification on its vapour
	const bool moisture = m_room.m_moistureBalanceEnabled;
	const unsigned int energy = moisture ? m_n - 2 : m_n - 1;
	if (lost(matrix.m_heating, pieces.m_heating) || lost(matrix.m_cooling, pieces.m_cooling) ||
		lost(matrix.m_ventilationCooling, pieces.m_ventilationCooling))
		rows[count++] = energy;
	if (moisture && lost(matrix.m_dehumidification, pieces.m_dehumidification))
		rows[count++] = m_n - 1;
	return count;
}


double CalovindaModelInterface::controllerSlopes() const {
	const DIN4108_2Assessment & din = m_room.m_din4108_2Assessment;
	return m_room.m_heatingModel.m_slope + m_room.m_coolingModel.m_slope + din.m_slopeHeating + din.m_slopeCooling;
}


KADRIX::IntegratorInterface * CalovindaModelInterface::integratorInterface() {
	if (m_integratorName == "ImplicitEuler")
		return &m_integratorImplicitEuler;
	return &m_integratorCVODE;
}


KADRIX::PrecondInterface * CalovindaModelInterface::preconditionerInterface() {
	lesInterface();
	return m_preconditioner;
}


KADRIX::JacobianInterface * CalovindaModelInterface::jacobianInterface() {
	lesInterface();
	return m_jacobian;
}


bool CalovindaModelInterface::hasErrorWeightsFunction() {
	return m_room.m_din4108_2Assessment.m_active || !std::isnan(m_fallingStepStart);
}


KADRIX::ModelInterface::CalculationResult CalovindaModelInterface::calculateErrorWeights(const double * y, double * weights) {
	for (unsigned int i = 0; i < m_n; ++i)
		weights[i] = 1.0/(std::fabs(y[i])*1e-6 + 1e-6);
	// installed for a falling step alone, the other states keep the integrator's own weights
	const bool fallingStepOnly = !m_room.m_din4108_2Assessment.m_active && !std::isnan(m_fallingStepStart);
	if (!fallingStepOnly) {
		for (unsigned int i = m_n - m_m; i < m_n; ++i)
			weights[i] *= 10;
	}
	if (std::isnan(m_fallingStepStart))
		return CalculationSuccess;
	// Counted from absolute zero, the room air's energy is held to some 0.3 mK. Where a natural
	// ventilation falls as the room warms and the room's balance rests near the step's start,
	// which way and when it tips is decided by tenths of a millikelvin hours before: from one June
	// midnight, steps of 60 s lost 0.15 mK on steps of a second by sunrise, the slow tipping grew
	// that to 0.08 K by 6:00, and hourly steps lay 0.14 K off a minute's. Counted from the step's
	// start, as a host sees it, the air is held as closely as its distance from the step allows.
	double capacity = 0;
	const double theta = airTemperature(y, capacity) - ZEB::KELVIN_OFFSET;
	const unsigned int air = m_room.m_moistureBalanceEnabled ? m_n - 2 : m_n - 1;
	const double tipping = 1.0/(1e-6*capacity*(std::fabs(theta - m_fallingStepStart) + TIPPING_AIR_DIFFERENCE));
	weights[air] = std::max(weights[air], tipping);
	return CalculationSuccess;
}


double CalovindaModelInterface::nextOutputTime(double t) {
	const double dt = m_room.m_outputTimeSteps;
	const double k = std::floor((t + 1e-10)/dt);
	// a count beyond 64 bits (or a non-finite time) has no next grid point to speak of
	const double next = std::fabs(k) < 9e18 ? static_cast<double>(static_cast<std::int64_t>(k) + 1)*dt : (k + 1)*dt;
	// a run that does not end on the grid ends with a shorter interval, so that its last part is
	// not lost from the outputs
	const double end = tEnd();
	if (t + 1e-10 < end && next > end)
		return end;
	return next;
}


void CalovindaModelInterface::init(const Database & db) {
	const char * const location = "[CalovindaModelInterface::init]";
	if (!(m_room.m_simulationStartTime >= 0) || !std::isfinite(m_room.m_simulationStartTime))
		throw ZEB::Exception(ZEB::FormatString("Simulation start time must not be negative, got %1 s.")
							 .arg(m_room.m_simulationStartTime), location);
	if (!(m_room.m_outputTimeSteps > 0) || !std::isfinite(m_room.m_outputTimeSteps))
		throw ZEB::Exception(ZEB::FormatString("Output time step must be positive, got %1 s.")
							 .arg(m_room.m_outputTimeSteps), location);

	CalovindaModel::init(db);
	m_fallingStepStart = m_room.m_naturalVentilationModel.fallingStepStart();
	m_outputManager.m_model = this;
	m_outputManager.initOutputs();
	// a run rarely completes a step at exactly 0 s, where the extremes restart: until the first
	// completed step they hold the neutral values, so that the first step sets them
	const double inf = std::numeric_limits<double>::infinity();
	m_outputManager.m_minRoomAirTemperature = m_outputManager.m_minAirChangeRate = inf;
	m_outputManager.m_maxRoomAirTemperature = m_outputManager.m_maxAirChangeRate = -inf;

	if (integratorInterface() == &m_integratorImplicitEuler) {
		m_integratorImplicitEuler.m_relTol = 1e-5;
		m_integratorImplicitEuler.m_absTol = 1e-6;
		m_integratorImplicitEuler.m_nonlinConvCoef = 0.05;
		m_integratorImplicitEuler.m_dtMax = 3600;
	}
	else {
		m_integratorCVODE.m_relTol = 1e-6;
		m_integratorCVODE.m_absTol = 1e-6;
		m_integratorCVODE.m_dtMin = 1e-8;
		m_integratorCVODE.m_dtMax = 3600;
		m_integratorCVODE.m_maxOrder = 5;
		m_integratorCVODE.m_nonlinConvCoef = 0.01;
	}

	std::string unknowns = "[";
	const unsigned int wallUnknowns = m_n - m_m;
	for (unsigned int i = 0; i < m_nConstructions; ++i) {
		if (i + 1 < m_nConstructions)
			unknowns += ZEB::FormatString("%1,").arg(m_constructionSolvers[i].m_n*m_m).str();
		else
			unknowns += ZEB::FormatString("%1]").arg(wallUnknowns - m_elementOffsets[i]*m_m).str();
	}
	// a room of the bare air alone
	if (m_nConstructions == 0)
		unknowns += "]";
	ZEB::ZEB_Message(ZEB::FormatString("Unknowns in walls = '%1'.\n").arg(unknowns), ZEB::MSG_PROGRESS, location, 1);
	ZEB::ZEB_Message(ZEB::FormatString("Total number of unknowns = '%1'.\n").arg(m_n), ZEB::MSG_PROGRESS, location, 1);

	m_controllerPieces = PIECES_UNKNOWN;
	m_tippingLimit = std::numeric_limits<double>::infinity();
	m_jacobianUpdateRequested = false;
	m_jacobianPieces = SwitchPieces();
	m_saturationReported = false;
	m_climateTime = std::numeric_limits<double>::quiet_NaN();
	m_abort = false;
}


void CalovindaModelInterface::chooseSolvers() {
	m_integratorName.clear();
	m_lesSolverName = "GMRES";
	m_preconditionerName = "ILU";
}


void CalovindaModelInterface::initIntegrator() {
	KADRIX::IntegratorInterface * integrator = integratorInterface();
	KADRIX::LESInterface * les = lesInterface();
	KADRIX::PrecondInterface * preconditioner = preconditionerInterface();
	KADRIX::JacobianInterface * jacobian = jacobianInterface();
	integrator->init(this, t0(), y0(), les, preconditioner, jacobian);
}


void CalovindaModelInterface::integrateTo(double tEnd) {
	const char * const location = "[CalovindaModelInterface::integrateTo]";
	KADRIX::IntegratorInterface * integrator = integratorInterface();
	double t = integrator->t();
	if (!(tEnd >= t) || !std::isfinite(tEnd))
		throw ZEB::Exception(ZEB::FormatString("Cannot integrate from %1 s to %2 s.").arg(t).arg(tEnd), location);

	KADRIX::IntegratorErrorControlled * controlled = dynamic_cast<KADRIX::IntegratorErrorControlled *>(integrator);

	// the series start with the initial state; a restored state of the start time has none yet
	if (t == t0() && m_outputManager.m_stateSeries[OutputManager::S_TIME].empty())
		writeOutputs(t0(), y0());

	double tOut = nextOutputTime(t);
	// time of the model's last evaluation by the loop; -1 while the loop has not evaluated it
	double tModel = -1;
	// A step ends on every change of a schedule or time rule. A step across it would average the
	// change away, and one ending on it (the stop time, a communication point) is evaluated on
	// its time, the step's end in the implicit methods, and would see the new set point over the
	// whole step: the room cooled off before a setback began, by up to 0.15 K in hourly steps.
	const auto changeAfter = [this](double time) {
		const double change = nextRuleChange(time);
		return change > time ? change : std::numeric_limits<double>::infinity();
	};
	double tRules = changeAfter(t);
	struct RulesAhead {
		double & m_ahead;
		~RulesAhead() { m_ahead = std::numeric_limits<double>::infinity(); }
	} rulesAhead{m_ruleChangeAhead};
	while (tEnd > t) {
		if (controlled != nullptr)
			controlled->m_stopTime = std::min(std::min(tEnd, tRules), t + m_tippingLimit);
		m_ruleChangeAhead = tRules;
		if (integrator->step() != KADRIX::IntegratorInterface::StepSuccess)
			throw ZEB::Exception("Integrator step failed!", location);
		t = integrator->t();
		stepCompleted(t, integrator->yOut(t));
		m_ruleChangeAhead = std::numeric_limits<double>::infinity();
		if (t >= tRules)
			tRules = changeAfter(t);
		tModel = t;
		while (t >= tOut) {
			writeOutputs(tOut, integrator->yOut(tOut));
			tModel = tOut;
			const double tNext = nextOutputTime(tOut);
			if (tNext <= tOut)
				throw ZEB::Exception(ZEB::FormatString("Output scheduler returned output time %1, which is <= last "
													   "output time %2.").arg(tNext).arg(tOut), location);
			tOut = tNext;
			if (tNext > tEnd*1.0000000001)
				break;
		}
	}
	// the model's quantities belong to the communication point, not to an earlier output time
	if (tModel != -1 && tModel != t) {
		if (setTime(t) != CalculationSuccess || setY(integrator->yOut(t)) != CalculationSuccess)
			throw ZEB::Exception(ZEB::FormatString("Cannot evaluate the model at time %1 s.").arg(t), location);
	}
}


KADRIX::LESInterface * CalovindaModelInterface::lesInterface() {
	if (m_lesSolver != nullptr)
		return m_lesSolver;

	const unsigned int B = m_m;
	const auto message = [](const char * text) {
		ZEB::ZEB_Message(ZEB::FormatString(text), ZEB::MSG_PROGRESS, LES_LOCATION, 1);
	};

	if (ZEB::string_nocase_compare(m_lesSolverName, "Dense")) {
		m_lesSolver = new KADRIX::LESDense();
		message("Using Dense LES solver.\n");
		return m_lesSolver;
	}
	if (ZEB::string_nocase_compare(m_lesSolverName, "BTridiag")) {
		if (B == 2) {
			m_lesSolver = new KADRIX::LESBTridiag(n()/2, 2);
			message("Using block-tridiagonal LES solver (block size 2).\n");
		}
		else {
			m_lesSolver = new KADRIX::LESBTridiag(n(), 1);
			message("Using tridiagonal LES solver.\n");
		}
		return m_lesSolver;
	}
	if (ZEB::string_nocase_compare(m_lesSolverName, "Band")) {
		if (B == 2) {
			m_lesSolver = new KADRIX::LESBand(3, 3);
			message("Using banded LES solver (half-bandwidth 3).\n");
		}
		else {
			m_lesSolver = new KADRIX::LESBand(1, 1);
			message("Using banded LES solver (half-bandwidth 1).\n");
		}
		return m_lesSolver;
	}

	const bool gmres = ZEB::string_nocase_compare(m_lesSolverName, "GMRES");
	const bool bicgstab = ZEB::string_nocase_compare(m_lesSolverName, "BiCGStab");
	if (gmres || bicgstab) {
		// nothing is kept unless the whole choice succeeds, so that a failed call can be repeated
		generateIndexVector();
		std::unique_ptr<KADRIX::JacobianSparseCSR> jacobian(new KADRIX::JacobianSparseCSR(
			n(), static_cast<unsigned int>(m_ja.size()), m_ia.data(), m_ja.data(), nullptr, nullptr));
		std::unique_ptr<KADRIX::PrecondInterface> precond;
		if (!m_preconditionerName.empty()) {
			if (ZEB::string_nocase_compare(m_preconditionerName, "ILU")) {
				precond.reset(new KADRIX::PrecondILU(KADRIX::PrecondInterface::RIGHT));
				message("Using ILU preconditioner.\n");
			}
			else {
				unsigned int k = (B == 2) ? 3 : 1;
				std::string name = m_preconditionerName;
				const std::string::size_type open = name.find('(');
				const std::string::size_type close = name.find(')');
				if (open != std::string::npos && close != std::string::npos && close > open) {
					k = ZEB::string2val<unsigned int>(name.substr(open + 1, close - open - 1));
					name = name.substr(0, open);
				}
				if (!ZEB::string_nocase_compare(name, "band"))
					throw ZEB::Exception("Unknown or unsupported preconditioner selected.", LES_LOCATION);
				precond.reset(new KADRIX::PrecondBand(k, k, KADRIX::PrecondInterface::RIGHT));
				ZEB::ZEB_Message(ZEB::FormatString("Using Band preconditioner (half-bandwidth %1).\n").arg(k),
								 ZEB::MSG_PROGRESS, LES_LOCATION, 1);
			}
		}
		KADRIX::LESInterfaceIterative * krylov;
		if (gmres) {
			message("Using iterative GMRES (Krylow subspace dimension = 10) LES solver.\n");
			krylov = new KADRIX::LESGMRES();
		}
		else {
			message("Using iterative BiCGStab (Krylow subspace dimension = 10) LES solver.\n");
			krylov = new KADRIX::LESBiCGStab();
		}
		krylov->m_maxKrylovDim = 10;
		krylov->m_linIterConvCoeff = 0.05;
		m_lesSolver = krylov;
		m_jacobian = jacobian.release();
		m_preconditioner = precond.release();
		return m_lesSolver;
	}

	message("Using KLU sparse LES solver.\n");
	std::unique_ptr<KADRIX::LESInterface> klu(new KADRIX::LESKLU());
	generateIndexVector();
	m_jacobian = new KADRIX::JacobianSparseCSR(n(), static_cast<unsigned int>(m_ja.size()), m_ia.data(), m_ja.data(),
											   nullptr, nullptr);
	m_lesSolver = klu.release();
	return m_lesSolver;
}


void CalovindaModelInterface::setIndexLocation(unsigned int row, unsigned int column) {
	const std::vector<std::uint32_t>::iterator first = m_ja.begin() + m_ia[row];
	const std::vector<std::uint32_t>::iterator last = m_ja.begin() + m_ia[row + 1];
	const std::vector<std::uint32_t>::iterator pos = std::lower_bound(first, last, column);
	if (pos != last && *pos == column)
		return;
	m_ja.insert(pos, column);
	for (std::size_t i = row + 1; i < m_ia.size(); ++i)
		++m_ia[i];
}


void CalovindaModelInterface::addBlock(unsigned int a, unsigned int b) {
	for (unsigned int i = 0; i < m_m; ++i)
		for (unsigned int j = 0; j < m_m; ++j)
			setIndexLocation(a*m_m + i, b*m_m + j);
}


void CalovindaModelInterface::generateIndexVector() {
	m_ia.assign(m_n + 1, 0);
	m_ja.clear();
	const unsigned int elements = m_n/m_m;
	const unsigned int room = elements - 1;
	for (unsigned int e = 0; e < elements; ++e)
		addBlock(e, e);
	for (unsigned int c = 0; c < m_nConstructions; ++c) {
		const unsigned int o = m_elementOffsets[c];
		const unsigned int N = m_constructionSolvers[c].m_n;
		for (unsigned int j = 1; j < N; ++j) {
			addBlock(o + j - 1, o + j);
			addBlock(o + j, o + j - 1);
		}
		if (m_constructions[c].m_type == RoomConstruction::Inside) {
			addBlock(o, room);
			addBlock(room, o);
		}
		// the room balance sees the two innermost cells of every construction
		addBlock(room, o + N - 1);
		addBlock(o + N - 1, room);
		if (N >= 2) {
			addBlock(room, o + N - 2);
			addBlock(o + N - 2, room);
		}
	}
}

} // namespace RX
