#include "controller_bank.h"

namespace orbalis::sim {

ControllerBank::ControllerBank(const std::vector<int> &ids, std::uint32_t seed) : servedIds_(ids)
{
    for (int id : ids)
        controllers_.push_back(std::make_unique<ControllerModel>(id, seed * 1000003u + std::uint32_t(id)));
}

ControllerModel *ControllerBank::answering(int id, int baud)
{
    for (auto &c : controllers_)
        if (c->answeringId() == id && c->answeringBaud() == baud)
            return c.get();
    return nullptr;
}

ControllerModel *ControllerBank::servedAs(int id)
{
    for (std::size_t i = 0; i < servedIds_.size(); ++i)
        if (servedIds_[i] == id)
            return controllers_[i].get();
    return nullptr;
}

void ControllerBank::step(double dt)
{
    for (auto &c : controllers_)
        c->step(dt);
}

} // namespace orbalis::sim
