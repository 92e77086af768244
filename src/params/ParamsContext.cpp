#include "ParamsContext.h"

#include "BusTransport.h"

ParamsContext::ParamsContext(IUiServices& ui, OptionFlags& flags, MotorFactorCalculator::Sender send)
    : m_store(flags), m_init(CommandList::ControlCenterSize), m_init2(CommandList::ProbeSize),
      m_calculator(m_store, flags, ui, std::move(send)), m_config(m_store, m_init, m_init2, flags, ui)
{
}

ParamsContext::ParamsContext(IUiServices& ui, OptionFlags& flags, BusTransport& bus)
    : ParamsContext(ui, flags, [&bus](const QString& command) { return bus.senden_empfangen(command); })
{
}
