#pragma once
// The periodic-table region picker: one button per element, checked while
// the region list holds a region of it; clicking one offers the element's
// peaks, the ones with a region ticked; choosing a peak adds its region or
// removes it. The owning regions page is told at once.

#include "framework/ui/Dialog.h"

#include <QPushButton>
#include <functional>
#include <vector>

class CRegion;
class CPkLib;
class CPkLibElement;
class QMenu;

class CAcquireElementBtn : public QPushButton
{
    Q_OBJECT
public:
    CAcquireElementBtn(const QString& label, int index, QWidget* parent)
        : QPushButton(label, parent), m_index(index)
    {
        setCheckable(true);
    }
    int Index() const { return m_index; }
    std::function<void(CAcquireElementBtn*)> onChoose;

protected:
    // The button never toggles itself: its check follows the list.
    void mouseReleaseEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    int m_index;
};

class CAcquirePeriodicTable : public CDialog
{
    Q_OBJECT
public:
    // addRegion(element, peak) and regionDeleted(index) are the owning page's.
    CAcquirePeriodicTable(QWidget* parent, std::vector<CRegion*>* list, const CPkLib* lib, bool auger,
                          std::function<void(const CPkLibElement*, int)> addRegion,
                          std::function<void(int)> regionDeleted);

    // The menu of an element's peaks as shown (for tests): text and tick.
    QMenu* BuildMenu(int element, int* ticked);
    // Adds or removes the region of the element's peak, as the menu does.
    void Choose(int element, int peak);
    void Recheck();
    CAcquireElementBtn* Button(int element) const;

protected:
    bool OnInitDialog() override;

private:
    void OnElement(CAcquireElementBtn* b);
    std::vector<CRegion*>* m_pRgnList;
    const CPkLib* m_pLib;
    bool m_bAuger;
    std::function<void(const CPkLibElement*, int)> m_addRegion;
    std::function<void(int)> m_regionDeleted;
    std::vector<CAcquireElementBtn*> m_buttons;
};
