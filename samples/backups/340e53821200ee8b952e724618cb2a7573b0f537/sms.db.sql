-- Messages of Maya's iPhone 5 (iOS 6.1.3): handle holds the other parties, chat the conversations.
-- Dates are seconds since 2001-01-01 UTC (2013-05-28 08:14 UTC is 391421640).

BEGIN;
INSERT INTO handle (ROWID, id, country, service, uncanonicalized_id) VALUES
(1, '+14155550142', 'us', 'SMS', '4155550142'),
(2, 'lucia@brightstudio.example', 'us', 'iMessage', NULL),
(3, '+16285550110', 'us', 'iMessage', NULL),
(4, '+14155550187', 'us', 'SMS', '4155550187'),
(5, '+14155550177', 'us', 'SMS', NULL),
(6, '72466', 'us', 'SMS', NULL);

INSERT INTO chat (ROWID, guid, style, state, chat_identifier, service_name, display_name) VALUES
(1, 'SMS;-;+14155550142', 45, 3, '+14155550142', 'SMS', NULL),
(2, 'iMessage;-;lucia@brightstudio.example', 45, 3, 'lucia@brightstudio.example', 'iMessage', NULL),
(3, 'iMessage;+;chat61925033571', 43, 3, 'chat61925033571', 'iMessage', 'Lisbon project'),
(4, 'SMS;-;+14155550187', 45, 3, '+14155550187', 'SMS', NULL),
(5, 'SMS;-;72466', 45, 3, '72466', 'SMS', NULL);
INSERT INTO chat_handle_join (chat_id, handle_id) VALUES (1, 1), (2, 2), (3, 2), (3, 3), (4, 4), (5, 6);

INSERT INTO message (ROWID, guid, text, handle_id, service, account, date, is_delivered, is_finished,
  is_from_me, is_read, is_sent) VALUES
(1, '2F0C7A1E-5B3D-4E89-A6F2-0D9C8B7E1A01', 'Are you coming to Mum''s on Sunday?', 1, 'SMS', 'p:0', 391421640, 1, 1, 0, 1, 0),
(2, '2F0C7A1E-5B3D-4E89-A6F2-0D9C8B7E1A02', 'Yes! I''ll bring dessert 🍰', 1, 'SMS', 'p:0', 391422000, 1, 1, 1, 1, 1),
(3, '2F0C7A1E-5B3D-4E89-A6F2-0D9C8B7E1A03', 'The mock-ups are in the shared folder. Tell me what you think!', 2, 'iMessage', 'e:maya@example.com', 391633320, 1, 1, 0, 1, 0),
(4, '2F0C7A1E-5B3D-4E89-A6F2-0D9C8B7E1A04', 'Love the colours. Can we talk tomorrow at 10?', 2, 'iMessage', 'e:maya@example.com', 391633900, 1, 1, 1, 1, 1),
(5, '2F0C7A1E-5B3D-4E89-A6F2-0D9C8B7E1A05', 'Flights to Lisbon are booked ✈️ 14 June, TP1362', 0, 'iMessage', 'e:maya@example.com', 391779900, 1, 1, 1, 1, 1),
(6, '2F0C7A1E-5B3D-4E89-A6F2-0D9C8B7E1A06', 'Great, I''ll book the hotel near Alfama', 3, 'iMessage', 'e:maya@example.com', 391780500, 1, 1, 0, 1, 0),
(7, '2F0C7A1E-5B3D-4E89-A6F2-0D9C8B7E1A07', 'Perfecto 👍', 2, 'iMessage', 'e:maya@example.com', 391781000, 1, 1, 0, 1, 0),
(8, '2F0C7A1E-5B3D-4E89-A6F2-0D9C8B7E1A08', 'Can you pick up milk and bread on the way home?', 4, 'SMS', 'p:0', 391986600, 1, 1, 0, 1, 0),
(9, '2F0C7A1E-5B3D-4E89-A6F2-0D9C8B7E1A09', 'Sure, love you Mum', 4, 'SMS', 'p:0', 391987000, 1, 1, 1, 1, 1),
(10, '2F0C7A1E-5B3D-4E89-A6F2-0D9C8B7E1A10', 'Your verification code is 482913', 6, 'SMS', 'p:0', 392110200, 1, 1, 0, 1, 0),
(11, '2F0C7A1E-5B3D-4E89-A6F2-0D9C8B7E1A11', 'Happy birthday little sister! 🎉', 1, 'SMS', 'p:0', 392316900, 1, 1, 0, 1, 0),
(12, '2F0C7A1E-5B3D-4E89-A6F2-0D9C8B7E1A12', 'Thank you!! See you tonight', 1, 'SMS', 'p:0', 392317300, 1, 1, 1, 1, 1);
INSERT INTO chat_message_join (chat_id, message_id) VALUES (1, 1), (1, 2), (2, 3), (2, 4), (3, 5), (3, 6),
  (3, 7), (4, 8), (4, 9), (5, 10), (1, 11), (1, 12);
COMMIT;
