-- Notes of Noah's iPhone (iOS 17.5.1), in the note store of an encrypted backup: the build
-- encrypts this backup after making it, so its notes are read only with the backup's password,
-- "tortoise". Dates are seconds since 2001-01-01 UTC.
--
-- The life: two notes written in spring; one deleted for good (its rows stay in free space).

BEGIN;
INSERT INTO ZICCLOUDSYNCINGOBJECT (Z_PK, Z_ENT, Z_OPT, ZMARKEDFORDELETION, ZFOLDERTYPE, ZOWNER, ZIDENTIFIER, ZTITLE2)
VALUES
(2, (SELECT Z_ENT FROM Z_PRIMARYKEY WHERE Z_NAME = 'ICFolder'), 1, 0, 0, 1, 'DefaultFolder-LocalAccount', 'Notes');

INSERT INTO ZICNOTEDATA (Z_PK, Z_ENT, Z_OPT, ZNOTE, ZDATA) VALUES
(1, (SELECT Z_ENT FROM Z_PRIMARYKEY WHERE Z_NAME = 'ICNoteData'), 1, 3,
 note_data('Bike lock
Combination 4-1-7-9
Spare key in the blue drawer')),
(2, (SELECT Z_ENT FROM Z_PRIMARYKEY WHERE Z_NAME = 'ICNoteData'), 1, 4,
 note_data('Marathon plan
Week 1: 3 × 5 km easy
Week 2: 3 × 6 km, one with strides')),
(3, (SELECT Z_ENT FROM Z_PRIMARYKEY WHERE Z_NAME = 'ICNoteData'), 1, 5,
 note_data('Locker at the gym
Number 112, code 2468'));

INSERT INTO ZICCLOUDSYNCINGOBJECT (Z_PK, Z_ENT, Z_OPT, ZISPASSWORDPROTECTED, ZMARKEDFORDELETION, ZISPINNED,
  ZACCOUNT2, ZFOLDER, ZNOTEDATA, ZCREATIONDATE3, ZMODIFICATIONDATE1, ZIDENTIFIER, ZTITLE1, ZSNIPPET) VALUES
(3, (SELECT Z_ENT FROM Z_PRIMARYKEY WHERE Z_NAME = 'ICNote'), 1, 0, 0, 1, 1, 2, 1, 733140210, 733140210,
 '2E7B9C14-5A3D-4F80-B6E1-0C9D8A7F3B52', 'Bike lock', 'Combination 4-1-7-9'),
(4, (SELECT Z_ENT FROM Z_PRIMARYKEY WHERE Z_NAME = 'ICNote'), 1, 0, 0, 0, 1, 2, 2, 734522880, 734522880,
 '7F1A3E60-2C8B-4D95-A0F7-5B3E1D9C6A48', 'Marathon plan', 'Week 1: 3 × 5 km easy'),
(5, (SELECT Z_ENT FROM Z_PRIMARYKEY WHERE Z_NAME = 'ICNote'), 1, 0, 0, 0, 1, 2, 3, 735101450, 735101450,
 'A9C2E5F8-1B4D-4E73-9F06-3D8B2A1C7E95', 'Locker at the gym', 'Number 112, code 2468');
UPDATE Z_PRIMARYKEY SET Z_MAX = 5 WHERE Z_NAME IN ('ICAccount', 'ICFolder', 'ICNote');
UPDATE Z_PRIMARYKEY SET Z_MAX = 3 WHERE Z_NAME = 'ICNoteData';
COMMIT;

-- The locker note is deleted for good.
DELETE FROM ZICNOTEDATA WHERE ZNOTE = 5;
DELETE FROM ZICCLOUDSYNCINGOBJECT WHERE Z_PK = 5;
