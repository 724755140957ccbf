#include "acquire/core/AesScnModel.h"

int CAesScnModel::GetEndPosn() const
{
    return 0;
}
void CAesScnModel::ErrorCheck() const {}
void CAesScnModel::Store(CArchive&) const {}
void CAesScnModel::Load(CArchive&) {}
void CAesScnModel::LoadFromDocument(const CVeltraneDoc&) {}
