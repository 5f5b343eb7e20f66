#include "wizard/ImportSet.h"

#include <utility>

CImportSet::CImportSet(std::string programFolder) : m_programFolder(std::move(programFolder)) {}

CImportSession& CImportSet::Append() {
    m_files.push_back(std::make_unique<CImportSession>(m_programFolder));
    return *m_files.back();
}

CImportSession& CImportSet::Add(const std::string& path) {
    CImportSession& session = Append();
    session.ListMappings();
    session.SetCSVFile(path);
    return session;
}

void CImportSet::Remove(int nIndex) {
    if (nIndex < 0 || nIndex >= Count()) return;
    m_files.erase(m_files.begin() + nIndex);
}

int CImportSet::Find(const std::string& path) const {
    for (int i = 0; i < Count(); ++i)
        if (At(i).CSVFile() == path) return i;
    return -1;
}

bool CImportSet::IsComplete() const {
    if (m_files.empty()) return false;
    for (const auto& pFile : m_files)
        if (pFile->CSVState() != CSV_STATE_ANALYZED || pFile->MappingState() != MAPPING_STATE_COMPLETE)
            return false;
    return true;
}

int CImportSet::ParseRows() {
    for (const auto& pFile : m_files) {
        const int nResult = pFile->ParseRows();
        if (nResult != 0) return nResult;
    }
    return 0;
}

CImportData CImportSet::ImportData() {
    CImportData data;
    for (const auto& pFile : m_files) {
        const CImportData one = pFile->ImportData();
        if (data.m_pDataMap == nullptr) {
            data.m_pDataMap = one.m_pDataMap;
            data.m_pCSVParser = one.m_pCSVParser;
        } else {
            data.m_further.push_back(ImportInput{one.m_pCSVParser, one.m_pDataMap});
        }
    }
    return data;
}
